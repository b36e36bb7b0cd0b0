#include "hotsync/link/dlp_handheld.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "hotsync/format/names.h"
#include "hotsync/link/dlp_functions.h"
#include "hotsync/link/dlp_packet.h"

namespace lumora::link {
namespace {

using namespace dlp;

// The name in a fixed 32-byte field, or nullopt when it is not terminated there.
std::optional<std::string> fieldName(const char (&field)[32]) {
  return hotsync::nameFromField(field, sizeof field);
}

void copyName(const std::string& name, char (&field)[32]) {
  std::memset(field, 0, sizeof field);
  std::memcpy(field, name.data(), std::min(name.size(), sizeof field - 1));
}

bool matches(uint32_t wanted, uint32_t value) {
  return wanted == 0 || wanted == value;
}

}  // namespace

DlpHandheld::DlpHandheld(Exchange exchange, Options options)
    : client_(std::move(exchange)), options_(std::move(options)) {}

int32_t DlpHandheld::fail(std::string reason) {
  if (!broken_) {
    broken_ = true;
    brokenReason_ = std::move(reason);
  }
  return SYNC_ERR_NOT_CONNECTED;
}

template <class Answer, class Message>
int32_t DlpHandheld::call(const Message& message, SyncOperation operation, Answer* answer) {
  if (broken_) return SYNC_ERR_NOT_CONNECTED;
  DlpReply<Answer> reply = client_.call<Answer>(message);
  switch (reply.status) {
    case DlpCallStatus::BadRequest:
      return SYNC_ERR_BAD_ARG;  // a value the request cannot carry
    case DlpCallStatus::LinkBroke:
      return fail("the link to the handheld broke");
    case DlpCallStatus::Malformed:
      return fail("the handheld's answer is malformed: " + reply.error);
    case DlpCallStatus::Answered:
      break;
  }
  if (reply.function != Message::kFunction)
    return fail(
        std::string("the handheld answered ") +
        (functionName(reply.function) ? functionName(reply.function) : "an unknown function") +
        " to " + functionName(Message::kFunction));
  if (reply.dlpError != kErrNone) return syncResultFor(reply.dlpError, operation);
  if (!reply.answer) return fail("the handheld's answer is malformed: " + reply.answerError);
  if (answer) *answer = std::move(*reply.answer);
  return SYNC_OK;
}

int32_t DlpHandheld::open(const char* name, int32_t card, uint8_t mode, uint8_t& handle) {
  auto checked = hotsync::nameFromText(name);
  if (!checked || card < 0 || card > 0xFF) return SYNC_ERR_BAD_ARG;
  OpenDbAnswer answer;
  // The Sync Manager's open modes are the DLP's bits; they travel unchanged.
  int32_t r = call(OpenDbRequest{static_cast<uint8_t>(card), mode, *checked}, SyncOperation::Other,
                   &answer);
  if (r != SYNC_OK) return r;
  handle = answer.handle;
  openHandles_.insert(handle);
  return SYNC_OK;
}

int32_t DlpHandheld::create(const SyncCreateParams& params, uint8_t& handle) {
  auto name = fieldName(params.name);
  if (!name || name->size() > hotsync::kMaxDbNameLength) return SYNC_ERR_BAD_ARG;
  CreateDbRequest request;
  request.creator = params.creator;
  request.type = params.type;
  request.card = params.card;
  request.flags = static_cast<uint16_t>(params.flags);
  request.version = params.version;
  request.name = *name;
  if (broken_) return SYNC_ERR_NOT_CONNECTED;
  bool journaled = false;
  if (journal_.created) {
    // Only a database that was not there before may be deleted by an undo: an answer
    // lost with the link leaves open whether this create made it or found it.
    SyncSearchName search{SYNC_SEARCH_OPTIONS, params.card, name->c_str()};
    SyncDbInfo existing{};
    int32_t found = findByName(search, existing);
    if (broken_) return SYNC_ERR_NOT_CONNECTED;
    if (found == SYNC_ERR_NOT_FOUND) journaled = journal_.created(*name);
  }
  CreateDbAnswer answer;
  int32_t r = call(request, SyncOperation::Other, &answer);
  if (r != SYNC_OK) {
    // An answer (not a broken link) means the handheld made nothing: a database of that
    // name, if any, was there before and must survive an undo.
    if (journaled && !broken_ && journal_.notCreated) journal_.notCreated(*name);
    return r;
  }
  handle = answer.handle;
  openHandles_.insert(handle);
  return SYNC_OK;
}

int32_t DlpHandheld::close(uint8_t handle) {
  int32_t r = call<CloseDbAnswer>(CloseDbRequest{false, handle}, SyncOperation::Other, nullptr);
  if (r == SYNC_OK) openHandles_.erase(handle);
  return r;
}

int32_t DlpHandheld::remove(const char* name, int32_t card) {
  auto checked = hotsync::nameFromText(name);
  if (!checked || card < 0 || card > 0xFF) return SYNC_ERR_BAD_ARG;
  if (card == 0 && journal_.wantsCopy && journal_.deleting && journal_.wantsCopy(*checked)) {
    hotsync::Database old;
    int32_t r = readWhole(*checked, old);
    if (r == SYNC_ERR_NOT_FOUND) return r;  // nothing to delete
    if (broken_) return SYNC_ERR_NOT_CONNECTED;
    // A database that cannot be kept (a resource database) is deleted all the same.
    if (r == SYNC_OK && !journal_.deleting(old)) return SYNC_ERR_STORAGE;
  }
  return call<DeleteDbAnswer>(DeleteDbRequest{static_cast<uint8_t>(card), *checked},
                              SyncOperation::Other, nullptr);
}

int32_t DlpHandheld::readRecordByIndex(SyncRawRecordInfo& info) {
  if (!info.bytes && info.bufferCapacity > 0) return SYNC_ERR_BAD_ARG;
  ReadRecordRequest request;
  request.handle = info.handle;
  request.index = info.recordIndex;
  request.offset = 0;
  request.count = info.bufferCapacity;
  Record record;
  int32_t r = call(request, SyncOperation::ReadRecord, &record);
  if (r != SYNC_OK) return r;
  size_t stored = std::min<size_t>(record.data.size(), info.bufferCapacity);
  if (stored > 0) std::memcpy(info.bytes, record.data.data(), stored);
  info.recordId = record.recordId;
  info.attributes = record.attributes;
  info.category = record.category;
  info.recordSize = std::max<uint32_t>(record.recordSize, static_cast<uint32_t>(stored));
  return SYNC_OK;
}

int32_t DlpHandheld::writeRecord(SyncRawRecordInfo& info) {
  if (!info.bytes && info.recordSize > 0) return SYNC_ERR_BAD_ARG;
  if (info.recordSize > 0xFFFF) return SYNC_ERR_TOO_LARGE;
  WriteRecordRequest request;
  request.handle = info.handle;
  request.recordId = info.recordId;
  request.attributes = info.attributes;
  request.category = static_cast<uint8_t>(info.category);
  if (info.recordSize > 0) request.data.assign(info.bytes, info.bytes + info.recordSize);
  WriteRecordAnswer answer;
  int32_t r = call(request, SyncOperation::Other, &answer);
  if (r != SYNC_OK) return r;
  info.recordId = answer.recordId;
  return SYNC_OK;
}

int32_t DlpHandheld::readAppInfo(uint8_t handle, SyncAppInfoRequest& request) {
  if (!request.bytes && request.bufferSize > 0) return SYNC_ERR_BAD_ARG;
  AppBlock block;
  int32_t r =
      call(ReadAppBlockRequest{handle, 0, request.bufferSize}, SyncOperation::ReadAppBlock, &block);
  if (r != SYNC_OK) return r;
  size_t stored = std::min<size_t>(block.data.size(), request.bufferSize);
  if (stored > 0) std::memcpy(request.bytes, block.data.data(), stored);
  request.blockSize = static_cast<uint16_t>(std::min<size_t>(block.data.size(), 0xFFFF));
  return SYNC_OK;
}

int32_t DlpHandheld::writeAppInfo(uint8_t handle, const SyncAppInfoRequest& request) {
  if (!request.bytes && request.bufferSize > 0) return SYNC_ERR_BAD_ARG;
  WriteAppBlockRequest write;
  write.handle = handle;
  if (request.bufferSize > 0) write.data.assign(request.bytes, request.bytes + request.bufferSize);
  return call<WriteAppBlockAnswer>(write, SyncOperation::Other, nullptr);
}

namespace {

void fillInfo(const DbInfo& db, uint8_t card, SyncDbInfo& info) {
  info = SyncDbInfo{};
  info.card = card;
  info.attributes = db.attributes;
  info.version = db.version;
  info.type = db.type;
  info.creator = db.creator;
  copyName(db.name, info.name);
}

}  // namespace

int32_t DlpHandheld::findByTypeCreator(const SyncSearchTypeCreator& search, SyncDbInfo& info) {
  const bool newSearch = (search.searchFlags & SYNC_SEARCH_NEW) != 0;
  const bool hasFindDb =
      options_.dlpMajor > 1 || (options_.dlpMajor == 1 && options_.dlpMinor >= 2);
  if (!hasFindDb) {
    if (newSearch) listCursor_ = 0;
    return findByListing(search, info);
  }
  FindDbRequest request;
  request.by = FindDbRequest::By::TypeCreator;
  request.options = FindDbRequest::kGetAttributes | FindDbRequest::kGetSize;
  request.searchFlags = newSearch ? FindDbRequest::kNewSearch : 0;
  request.type = search.type;
  request.creator = search.creator;
  return find(request, SyncOperation::Search, info);
}

int32_t DlpHandheld::find(const FindDbRequest& request, SyncOperation operation, SyncDbInfo& info) {
  FindDbAnswer answer;
  int32_t r = call(request, operation, &answer);
  if (r != SYNC_OK) return r;
  if (!answer.found || !answer.found->info) return fail("FindDB answered without the database");
  fillInfo(*answer.found->info, answer.found->card, info);
  if (answer.sizes) {
    info.recordCount = answer.sizes->recordCount;
    info.totalSize = answer.sizes->totalBytes;
  }
  return SYNC_OK;
}

// Handhelds before DLP 1.2 have no FindDB: walk the database list from the cursor.
int32_t DlpHandheld::findByListing(const SyncSearchTypeCreator& search, SyncDbInfo& info) {
  // Each answer holds at least one database, so the walk ends within 65536 requests.
  for (;;) {
    ReadDbListRequest request;
    request.flags = ReadDbListRequest::kRam;
    request.start = listCursor_;
    DbList list;
    int32_t r = call(request, SyncOperation::Search, &list);
    if (r != SYNC_OK) return r;
    if (list.databases.empty()) return SYNC_ERR_NO_MORE;
    for (const DbInfo& db : list.databases) {
      if (db.index < listCursor_) return fail("ReadDBList went backwards");
      listCursor_ = static_cast<uint16_t>(db.index + 1);
      if (matches(search.type, db.type) && matches(search.creator, db.creator)) {
        fillInfo(db, 0, info);
        return SYNC_OK;
      }
      if (db.index == 0xFFFF) return SYNC_ERR_NO_MORE;
    }
  }
}

int32_t DlpHandheld::findByName(const SyncSearchName& search, SyncDbInfo& info) {
  auto name = hotsync::nameFromText(search.name);
  if (!name || search.card > 0xFF) return SYNC_ERR_BAD_ARG;
  FindDbRequest request;
  request.by = FindDbRequest::By::Name;
  request.options = FindDbRequest::kGetAttributes | FindDbRequest::kGetSize;
  request.card = static_cast<uint8_t>(search.card);
  request.name = *name;
  return find(request, SyncOperation::Other, info);
}

int32_t DlpHandheld::install(hotsync::Database db, std::string& reason) {
  SyncCreateParams params{};
  params.creator = db.creator;
  params.type = db.type;
  params.card = 0;
  params.flags = db.attributes;
  params.version = db.version;
  if (db.name.empty() || db.name.size() > hotsync::kMaxDbNameLength) {
    reason = "the database name is empty or longer than 31 bytes";
    return SYNC_ERR_BAD_ARG;
  }
  copyName(db.name, params.name);
  // The queued copy replaces what the handheld has.
  remove(db.name.c_str(), 0);
  uint8_t handle = 0;
  if (int32_t r = create(params, handle); r != SYNC_OK) {
    reason = "the handheld refused to create it (code " + std::to_string(r) + ")";
    return r;
  }
  auto abandon = [&](const char* what, int32_t r) {
    reason = std::string("the handheld refused ") + what + " (code " + std::to_string(r) + ")";
    close(handle);
    remove(db.name.c_str(), 0);
    return r;
  };
  if (db.appInfo) {
    if (db.appInfo->size() > 0xFFFF) return abandon("the app-info block", SYNC_ERR_TOO_LARGE);
    SyncAppInfoRequest block{};
    block.bufferSize = static_cast<uint16_t>(db.appInfo->size());
    block.blockSize = block.bufferSize;
    block.bytes = db.appInfo->data();
    if (int32_t r = writeAppInfo(handle, block); r != SYNC_OK)
      return abandon("the app-info block", r);
  }
  for (hotsync::PdbRecord& record : db.records) {
    SyncRawRecordInfo info{};
    info.handle = handle;
    info.recordId = 0;
    info.attributes = static_cast<uint8_t>(record.attributes & 0xF0);
    info.category = static_cast<uint16_t>(record.attributes & 0x0F);
    info.recordSize = static_cast<uint32_t>(record.data.size());
    info.bytes = record.data.data();
    if (int32_t r = writeRecord(info); r != SYNC_OK) return abandon("a record", r);
  }
  if (int32_t r = close(handle); r != SYNC_OK) {
    reason = "the handheld could not close it (code " + std::to_string(r) + ")";
    return r;
  }
  if (db.attributes & 0x0020) resetRequested_ = true;  // "reset after install"
  return SYNC_OK;
}

int32_t DlpHandheld::readWhole(const std::string& name, hotsync::Database& db) {
  SyncSearchName search{SYNC_SEARCH_OPTIONS, 0, name.c_str()};
  SyncDbInfo info{};
  if (int32_t r = findByName(search, info); r != SYNC_OK) return r;
  if (info.attributes & hotsync::kDbAttrResource) return SYNC_ERR_BAD_ARG;
  db = hotsync::Database{};
  db.name = name;
  db.attributes = static_cast<uint16_t>(info.attributes & ~hotsync::kDbAttrOpen);
  db.version = info.version;
  db.type = info.type;
  db.creator = info.creator;
  uint8_t handle = 0;
  if (int32_t r = open(name.c_str(), 0, SYNC_MODE_READ, handle); r != SYNC_OK) return r;
  Bytes buffer(0xFFFF);
  SyncAppInfoRequest block{};
  block.bufferSize = 0xFFFF;
  block.bytes = buffer.data();
  int32_t r = readAppInfo(handle, block);
  if (r == SYNC_OK)
    db.appInfo = Bytes(buffer.begin(), buffer.begin() + std::min<size_t>(block.blockSize, 0xFFFF));
  if (r == SYNC_OK || r == SYNC_ERR_NO_APP_INFO) {
    for (uint16_t index = 0;; ++index) {
      SyncRawRecordInfo record{};
      record.handle = handle;
      record.recordIndex = index;
      record.bufferCapacity = 0xFFFF;
      record.bytes = buffer.data();
      r = readRecordByIndex(record);
      if (r != SYNC_OK) break;
      size_t size = std::min<size_t>(record.recordSize, buffer.size());
      db.records.push_back(
          {static_cast<uint8_t>((record.attributes & 0xF0) | (record.category & 0x0F)),
           record.recordId & hotsync::kMaxUniqueId, Bytes(buffer.begin(), buffer.begin() + size)});
      if (index == 0xFFFF) break;
    }
    if (r == SYNC_ERR_NO_RECORD) r = SYNC_OK;
  }
  close(handle);
  return broken_ ? SYNC_ERR_NOT_CONNECTED : r;
}

bool DlpHandheld::closeAll() {
  bool all = true;
  // close() changes the set; walk a copy.
  for (uint8_t handle : std::set<uint8_t>(openHandles_))
    if (close(handle) != SYNC_OK) all = false;
  if (!all || broken_) return false;
  if (journal_.completed) journal_.completed();
  return true;
}

}  // namespace lumora::link
