// The handheld clock that LUMORA_HANDHELD_TIME asks for, shared by every program that puts
// the folder store to work (the stand-in's library and lumora-handheld).
#pragma once

#include "hotsync/store/handheld_store.h"

namespace lumora::hotsync {

// LUMORA_HANDHELD_TIME (seconds since 1970) fixes the dates written into databases, so that
// syncs on two machines can be compared byte for byte. Empty clock (the system time) when
// the variable is unset; an unusable value is logged and ignored.
HandheldStore::Clock clockFromEnvironment(const HandheldStore::Logger& log);

}  // namespace lumora::hotsync
