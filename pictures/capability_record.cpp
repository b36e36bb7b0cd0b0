#include "pictures/capability_record.h"

#include <algorithm>
#include <array>

#include "common/bytes.h"
#include "conduit/settings.h"
#include "pictures/handheld_db.h"
#include "pictures/log.h"
#include "hotsync/api/hotsync.h"

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

void narrowCapabilities(DeviceCapabilities& caps, const DeviceCapabilities& accepted) {
  if (accepted.density == 72) caps.density = 72;
  if (accepted.depth < caps.depth) caps.depth = accepted.depth;
  caps.compression = accepted.compression;
}

bool readDeviceCapabilities(DeviceCapabilities& caps) {
  caps = DeviceCapabilities{};
  OpenResult opened = openForReading(kFormatDatabase, kCard);
  if (opened.code != 0) {
    SyncTrace("Could not open \"LumdexFormatDb\"");
    logEntry("Lumora : Could not open \"LumdexFormatDb\"", kActivityError);
    return false;
  }
  std::array<uint8_t, kCapabilityRecordSize> record{};
  SyncRawRecordInfo info{};
  info.handle = opened.db.handle();
  info.recordIndex = 0;
  info.attributes = 0;
  info.category = 0;
  info.bufferCapacity = static_cast<uint16_t>(record.size());
  info.bytes = record.data();
  if (SyncReadRecordByIndex(&info) != 0) {
    logEntry("Lumora: failed to read record from format db.");
    opened.db.close();
    return false;
  }
  caps = decodeCapabilityRecord(record);
  narrowCapabilities(caps, conduit::settings().acceptedCapabilities);
  opened.db.close();
  return true;
}

}  // namespace lumora::pictures
