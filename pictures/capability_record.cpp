#include "pictures/capability_record.h"

#include <array>

#include "hotsync/api/hotsync.h"
#include "pictures/handheld_db.h"
#include "pictures/sync_log.h"

namespace lumora::pictures {

void narrowCapabilities(DeviceCapabilities& caps, const DeviceCapabilities& accepted) {
  if (accepted.density == 72) caps.density = 72;
  if (accepted.depth < caps.depth) caps.depth = accepted.depth;
  caps.compression = accepted.compression;
}

bool readDeviceCapabilities(DeviceCapabilities& caps, const DeviceCapabilities& accepted) {
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
  narrowCapabilities(caps, accepted);
  opened.db.close();
  return true;
}

}  // namespace lumora::pictures
