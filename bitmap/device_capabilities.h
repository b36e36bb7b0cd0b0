// What the handheld accepts, as its capability record says (host byte order in memory).
#pragma once

#include <cstdint>

namespace lumora {

struct DeviceCapabilities {
  uint8_t reserved[3] = {0, 0, 0};
  uint8_t depth = 0;          // bits per pixel accepted
  int16_t maxWidth = 0;       // largest width in pixels
  int16_t maxHeight = 0;      // largest height in pixels
  uint16_t density = 0;       // 72 standard, 144 double density
  uint32_t maxRawSize = 0;    // largest raw bitmap data in bytes
  uint8_t compression = 0;    // non-zero: compress
  uint8_t reservedEnd = 0;
};

inline constexpr uint32_t kCapabilityRecordSize = 16;

}  // namespace lumora
