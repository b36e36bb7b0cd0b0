#include "pictures/saved_database.h"

#include <algorithm>
#include <limits>
#include <new>

#include "hotsync/api/hotsync.h"
#include "pictures/handheld_db.h"
#include "pictures/picture_database.h"

namespace lumora::pictures {
namespace {

// What a record or an app-info block can hold: the Sync Manager's sizes are 16-bit.
constexpr size_t kMaxBlock = std::numeric_limits<uint16_t>::max();
// The whole copy is bounded like a picture, with room for record overheads.
constexpr size_t kMaxSavedBytes = size_t{kMaxDataSize} + kMaxBlock;
// Set by the handheld while a database is open; never asked for at creation.
constexpr uint16_t kOpenAttribute = 0x8000;

// false when the block could not be read; a database without one gives an empty optional.
bool readAppInfoBlock(uint8_t handle, std::optional<Bytes>& out) {
  Bytes block(kMaxBlock);
  SyncAppInfoRequest request{};
  request.bufferSize = static_cast<uint16_t>(block.size());
  request.bytes = block.data();
  int32_t rc = SyncReadDBAppInfoBlock(handle, &request);
  if (rc == SYNC_ERR_NO_APP_INFO) return true;
  if (rc != 0 || request.blockSize > block.size()) return false;
  block.resize(request.blockSize);
  out = std::move(block);
  return true;
}

bool readRecords(uint8_t handle, std::vector<SavedRecord>& out) {
  Bytes buffer(kMaxBlock);
  size_t total = 0;
  for (uint32_t index = 0; index <= 0xFFFF; ++index) {
    SyncRawRecordInfo info{};
    info.handle = handle;
    info.recordIndex = static_cast<uint16_t>(index);
    info.bufferCapacity = static_cast<uint16_t>(buffer.size());
    info.bytes = buffer.data();
    int32_t rc = SyncReadRecordByIndex(&info);
    if (rc == SYNC_ERR_NO_RECORD) return true;
    if (rc != 0 || info.recordSize > buffer.size()) return false;
    total += info.recordSize;
    if (total > kMaxSavedBytes) return false;
    out.push_back(
        {info.attributes, info.category, Bytes(buffer.begin(), buffer.begin() + info.recordSize)});
  }
  return false;  // more records than an index reaches
}

bool writeAll(uint8_t handle, const SavedDatabase& saved) {
  if (saved.appInfo) {
    Bytes block = *saved.appInfo;
    SyncAppInfoRequest request{};
    request.bufferSize = static_cast<uint16_t>(block.size());
    request.blockSize = static_cast<uint16_t>(block.size());
    request.bytes = block.data();
    if (SyncWriteDBAppInfoBlock(handle, &request) != 0) return false;
  }
  for (const SavedRecord& record : saved.records) {
    Bytes data = record.data;
    SyncRawRecordInfo info{};
    info.handle = handle;
    info.recordId = 0;
    info.attributes = record.attributes;
    info.category = record.category;
    info.recordSize = static_cast<uint32_t>(data.size());
    info.bufferCapacity = static_cast<uint16_t>(data.size());
    info.bytes = data.data();
    if (SyncWriteRec(&info) != 0) return false;
  }
  return true;
}

}  // namespace

std::optional<SavedDatabase> saveDatabase(std::string_view name) {
  std::string text(name);
  SyncSearchName search{};
  search.options = SYNC_SEARCH_OPTIONS;
  search.card = kCard;
  search.name = text.c_str();
  SyncDbInfo info{};
  if (SyncFindDbByName(&search, &info) != 0) return std::nullopt;

  SavedDatabase saved;
  saved.name = text;
  saved.type = info.type;
  saved.creator = info.creator;
  saved.attributes = static_cast<uint16_t>(info.attributes & ~kOpenAttribute);
  saved.version = info.version;
  OpenResult opened = openForReading(text, kCard);
  if (opened.code != 0) return std::nullopt;
  try {
    if (!readAppInfoBlock(opened.db.handle(), saved.appInfo) ||
        !readRecords(opened.db.handle(), saved.records))
      return std::nullopt;
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
  opened.db.close();
  return saved;
}

bool restoreDatabase(const SavedDatabase& saved) {
  bool created = false;
  try {
    SyncCreateParams params = createParams(saved.name, saved.type, saved.creator, saved.attributes);
    params.version = saved.version;
    if (SyncCreateDB(&params) != 0) return false;
    created = true;
    OpenDatabase db(params.handle);
    bool written = writeAll(db.handle(), saved);
    db.close();
    if (written) return true;
  } catch (...) {
    // Falls through to removing what was made.
  }
  if (created) {
    try {
      deleteDatabase(saved.name, kCard);
    } catch (...) {
      // Nothing more can be done; the failure is reported by the caller.
    }
  }
  return false;
}

}  // namespace lumora::pictures
