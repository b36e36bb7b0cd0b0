// The "Change HotSync Action" dialog, shown modally by CfgConduit.
#pragma once

#include <cstdint>

#include "platform/ui/toolkit.h"

namespace lumora::conduit {

inline constexpr uint32_t kConfigRecordSize = 352;

// Shows the dialog for the 352-byte configuration record (little-endian fields) and
// returns when it has closed; the chosen action is written into the record on OK. The
// dialog's owner is owner, else the foreground window. While a dialog is open, another
// call returns at once and leaves its record alone.
void runConfigDialog(uint8_t* record, ui::Window owner);

}  // namespace lumora::conduit
