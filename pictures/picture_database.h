// What both directions agree on for a picture database (and the picture info database,
// which is stored the same way): a 6-byte app-info block holding the data size, and the
// data cut into records of at most 4096 bytes, placed back by record index.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "common/bytes.h"
#include "hotsync/api/hotsync.h"

namespace lumora::pictures {

inline constexpr uint32_t kTypeUncompressed = fourCC("bpmf");
inline constexpr uint32_t kTypeCompressed = fourCC("bpmc");
inline constexpr uint32_t kCreatorAlbum = fourCC("LmDx");
inline constexpr uint32_t kCreatorPainting = fourCC("SkVa");

inline constexpr uint16_t kAppInfoTag = 12;
inline constexpr size_t kAppInfoSize = 6;
inline constexpr size_t kChunkSize = 4096;
inline constexpr uint32_t kBackupAttribute = 0x0008;
inline constexpr size_t kMaxNameLength = 31;
// More than a handheld of this kind could hold; a larger size is a damaged database.
inline constexpr uint32_t kMaxDataSize = 64u * 1024 * 1024;

using AppInfoBlock = std::array<uint8_t, kAppInfoSize>;

struct AppInfo {
  uint16_t tag = 0;
  uint32_t dataSize = 0;
};

AppInfoBlock encodeAppInfo(uint32_t dataSize);
AppInfo decodeAppInfo(const AppInfoBlock& block);

// The number of records that dataSize bytes take.
constexpr uint32_t chunkCount(uint32_t dataSize) {
  return static_cast<uint32_t>((uint64_t{dataSize} + kChunkSize - 1) / kChunkSize);
}

// Create parameters with card 0, version 0; name cut to 31 characters.
SyncCreateParams createParams(std::string_view name, uint32_t type, uint32_t creator,
                              uint32_t flags);

// Sync Manager results, 0 for success.
int32_t writeAppInfo(uint8_t handle, uint32_t dataSize);
int32_t readAppInfo(uint8_t handle, AppInfo& out);
// Appends the data as new records in chunk order; stops at the first failing write.
int32_t writeChunks(uint8_t handle, std::span<uint8_t> data);
// Fills into from records 0, 1, ... by index; the reported record sizes are not used.
int32_t readChunks(uint8_t handle, std::span<uint8_t> into);

}  // namespace lumora::pictures
