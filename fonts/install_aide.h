// The install aide operation the converters hand their output to. Injectable, so that the
// converters can be exercised without a HotSync installation.
#pragma once

#include <cstdint>
#include <string_view>

#include "hotsync/api/hotsync.h"

namespace lumora::fonts {

// PltInstallFile's shape: queues a copy of the file for the HotSync user; 0 when queued.
using QueueFileFn = int32_t(HOTSYNC_WINAPI*)(char* userName, char* filePath);

// Calls queue with modifiable copies of both texts, as the install aide takes them.
int32_t queueCopy(QueueFileFn queue, std::string_view userName, std::string_view filePath);

}  // namespace lumora::fonts
