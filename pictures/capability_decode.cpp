// The capability record's bytes alone, so that tools can read a format database without
// the conduit's settings and the HotSync libraries.
#include <algorithm>
#include <array>

#include "common/bytes.h"
#include "pictures/capability_record.h"

namespace lumora::pictures {

DeviceCapabilities decodeCapabilityRecord(std::span<const uint8_t> record) {
  std::array<uint8_t, kCapabilityRecordSize> b{};
  std::copy_n(record.begin(), std::min<size_t>(record.size(), b.size()), b.begin());
  DeviceCapabilities caps;
  std::copy_n(b.begin(), 3, caps.reserved);
  caps.depth = b[3];
  caps.maxWidth = static_cast<int16_t>(loadBe16(&b[4]));
  caps.maxHeight = static_cast<int16_t>(loadBe16(&b[6]));
  caps.density = loadBe16(&b[8]);
  caps.maxRawSize = loadBe32(&b[10]);
  caps.compression = b[14];
  caps.reservedEnd = b[15];
  return caps;
}

}  // namespace lumora::pictures
