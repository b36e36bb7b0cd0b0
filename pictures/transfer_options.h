// What the picture transfers take from the conduit's settings, handed to them by their
// caller rather than read from the process-wide settings inside.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "bitmap/device_capabilities.h"

namespace lumora::pictures {

struct TransferOptions {
  std::string syncFolder;
  DeviceCapabilities accepted{};  // only depth, density and compression count
  bool photos = false;            // photo files of the sync folder go to the handheld too
  bool fitToDevice = false;       // pictures too large for the handheld are scaled down
  bool dither = false;            // 8-bit pictures are dithered onto the palette
  // Kept free on the sync folder's disk when pictures come from the handheld; unset: the
  // smaller of 512 MiB and 5% of the disk.
  std::optional<uint32_t> freeSpaceMarginMb;
};

// The bytes a disk of totalBytes keeps free.
uint64_t freeSpaceMargin(const TransferOptions& options, uint64_t totalBytes);

}  // namespace lumora::pictures
