#include "pictures/picture_database.h"

#include <algorithm>

namespace lumora::pictures {

AppInfoBlock encodeAppInfo(uint32_t dataSize) {
  AppInfoBlock block{};
  storeBe16(block.data(), kAppInfoTag);
  storeBe32(block.data() + 2, dataSize);
  return block;
}

AppInfo decodeAppInfo(const AppInfoBlock& block) {
  return AppInfo{loadBe16(block.data()), loadBe32(block.data() + 2)};
}

SyncCreateParams createParams(std::string_view name, uint32_t type, uint32_t creator,
                              uint32_t flags) {
  SyncCreateParams p{};
  p.creator = creator;
  p.flags = flags;
  p.card = 0;
  std::copy_n(name.begin(), std::min(name.size(), kMaxNameLength), p.name);
  p.type = type;
  p.version = 0;
  p.reserved = 0;
  return p;
}

int32_t writeAppInfo(uint8_t handle, uint32_t dataSize) {
  AppInfoBlock block = encodeAppInfo(dataSize);
  SyncAppInfoRequest request{};
  request.bufferSize = kAppInfoSize;
  request.blockSize = kAppInfoSize;
  request.bytes = block.data();
  return SyncWriteDBAppInfoBlock(handle, &request);
}

int32_t readAppInfo(uint8_t handle, AppInfo& out) {
  // A shorter block leaves zeros behind it rather than stale bytes.
  AppInfoBlock block{};
  SyncAppInfoRequest request{};
  request.bufferSize = kAppInfoSize;
  request.blockSize = kAppInfoSize;
  request.bytes = block.data();
  int32_t rc = SyncReadDBAppInfoBlock(handle, &request);
  if (rc == 0) out = decodeAppInfo(block);
  return rc;
}

int32_t writeChunks(uint8_t handle, std::span<uint8_t> data) {
  for (size_t offset = 0; offset < data.size(); offset += kChunkSize) {
    SyncRawRecordInfo info{};
    info.handle = handle;
    info.recordId = 0;
    info.attributes = 0;
    info.category = 0;
    info.recordSize = static_cast<uint32_t>(std::min(kChunkSize, data.size() - offset));
    info.bufferCapacity = static_cast<uint16_t>(info.recordSize);
    info.bytes = data.data() + offset;
    if (int32_t rc = SyncWriteRec(&info); rc != 0) return rc;
  }
  return 0;
}

int32_t readChunks(uint8_t handle, std::span<uint8_t> into) {
  size_t index = 0;
  for (size_t offset = 0; offset < into.size(); offset += kChunkSize, ++index) {
    if (index > 0xFFFF) return SYNC_ERR_NO_RECORD;
    SyncRawRecordInfo info{};
    info.handle = handle;
    info.recordIndex = static_cast<uint16_t>(index);
    info.bufferCapacity = static_cast<uint16_t>(std::min(kChunkSize, into.size() - offset));
    info.bytes = into.data() + offset;
    if (int32_t rc = SyncReadRecordByIndex(&info); rc != 0) return rc;
  }
  return 0;
}

}  // namespace lumora::pictures
