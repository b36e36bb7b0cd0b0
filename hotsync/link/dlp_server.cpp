#include "hotsync/link/dlp_server.h"

#include <algorithm>
#include <cstring>

#include "hotsync/link/sync_result.h"

namespace lumora::link {
namespace {

using namespace dlp;

// A Palm OS 5.0 release ROM with DLP 1.2, as the desktop's queries expect.
constexpr uint32_t kRomVersion = 0x05003000;
constexpr uint32_t kLocale = 0x00010000;
constexpr uint32_t kLargestRecord = 65505;
constexpr uint8_t kMiscRamBased = 0x40;
constexpr size_t kNameField = 32;  // with its zero
constexpr size_t kDbListBatch = 16;
constexpr uint16_t kBlockLimit = 0xFFFF;

Response failure(uint8_t function, uint16_t error) {
  return Response{static_cast<uint8_t>(function & 0x7F), error, {}};
}

// What a request that cannot be read is answered with.
uint16_t errorForBadRequest(const Error& e) {
  switch (e.code) {
    case ErrorCode::BadWrapper:
      return kErrBadWrapper;
    case ErrorCode::MissingArgument:
      return kErrArgMissing;
    case ErrorCode::Truncated:
    case ErrorCode::TrailingBytes:
    case ErrorCode::TooLarge:
      return kErrArgSize;
    default:
      return kErrParameter;
  }
}

template <class T>
Response answerWith(const T& message) {
  auto r = toResponse(message);
  // A field that does not fit the answer is the handheld's limit, not a crash.
  if (!r) return failure(T::kFunction, kErrLimitExceeded);
  return std::move(*r);
}

Response result(uint8_t function, int32_t syncResult) {
  return failure(function, dlpErrorFor(syncResult));
}

size_t nameLength(const SyncDbInfo& info) {
  return static_cast<size_t>(std::find(info.name, info.name + sizeof info.name, '\0') - info.name);
}

DbInfo toDbInfo(const SyncDbInfo& info, uint16_t index) {
  DbInfo d;
  d.miscFlags = kMiscRamBased;
  d.attributes = info.attributes;
  d.type = info.type;
  d.creator = info.creator;
  d.version = info.version;
  d.index = index;
  d.name.assign(info.name, nameLength(info));
  return d;
}

// Open modes of DLP and of the Sync Manager differ in the exclusive bit.
uint8_t syncMode(uint8_t dlpMode) {
  uint8_t mode = dlpMode & (OpenDbRequest::kRead | OpenDbRequest::kWrite);
  if (dlpMode & OpenDbRequest::kExclusive) mode |= SYNC_MODE_EXCLUSIVE;
  return mode;
}

}  // namespace

DlpServer::DlpServer(hotsync::Handheld& handheld, HandheldUser user)
    : handheld_(handheld), user_(std::move(user)) {}

Bytes DlpServer::answer(ByteView packet) {
  Response response;
  auto request = decodeRequest(packet);
  if (!request) {
    uint8_t function = packet.empty() ? 0 : packet[0];
    response = failure(function, errorForBadRequest(request.error()));
  } else {
    response = answer(*request);
  }
  auto bytes = encodeResponse(response);
  if (!bytes) bytes = encodeResponse(failure(response.function, kErrLimitExceeded));
  return bytes ? std::move(*bytes) : Bytes{};
}

// Decodes the typed request and hands it to its handler, or answers the decoding error.
#define LUMORA_DLP_DISPATCH(Type, handler)                                           \
  {                                                                                  \
    auto typed = fromRequest<Type>(request);                                         \
    if (!typed) return failure(request.function, errorForBadRequest(typed.error())); \
    return handler(*typed);                                                          \
  }

Response DlpServer::answer(const Request& request) {
  if (ended_) return failure(request.function, kErrNoneOpen);
  switch (request.function) {
    case kReadUserInfo:
      return readUserInfo();
    case kWriteUserInfo:
      LUMORA_DLP_DISPATCH(WriteUserInfoRequest, writeUserInfo)
    case kReadSysInfo:
      LUMORA_DLP_DISPATCH(ReadSysInfoRequest, readSysInfo)
    case kReadDbList:
      LUMORA_DLP_DISPATCH(ReadDbListRequest, readDbList)
    case kOpenDb:
      LUMORA_DLP_DISPATCH(OpenDbRequest, openDb)
    case kCreateDb:
      LUMORA_DLP_DISPATCH(CreateDbRequest, createDb)
    case kCloseDb:
      LUMORA_DLP_DISPATCH(CloseDbRequest, closeDb)
    case kDeleteDb:
      LUMORA_DLP_DISPATCH(DeleteDbRequest, deleteDb)
    case kReadAppBlock:
      LUMORA_DLP_DISPATCH(ReadAppBlockRequest, readAppBlock)
    case kWriteAppBlock:
      LUMORA_DLP_DISPATCH(WriteAppBlockRequest, writeAppBlock)
    case kReadRecord:
      LUMORA_DLP_DISPATCH(ReadRecordRequest, readRecord)
    case kWriteRecord:
      LUMORA_DLP_DISPATCH(WriteRecordRequest, writeRecord)
    case kWriteResource: {
      // The folder store keeps record databases only.
      auto typed = fromRequest<WriteResourceRequest>(request);
      if (!typed) return failure(request.function, errorForBadRequest(typed.error()));
      return failure(kWriteResource, kErrNotSupported);
    }
    case kReadOpenDbInfo:
      LUMORA_DLP_DISPATCH(ReadOpenDbInfoRequest, readOpenDbInfo)
    case kAddSyncLogEntry:
      LUMORA_DLP_DISPATCH(AddSyncLogEntryRequest, addSyncLogEntry)
    case kEndOfSync:
      LUMORA_DLP_DISPATCH(EndOfSyncRequest, endOfSync)
    case kFindDb:
      LUMORA_DLP_DISPATCH(FindDbRequest, findDb)
    case kOpenConduit:
      return answerWith(OpenConduitAnswer{});
    case kResetSystem:
      reset_ = true;
      return answerWith(ResetSystemAnswer{});
    default:
      return failure(request.function, kErrIllegalRequest);
  }
}

#undef LUMORA_DLP_DISPATCH

Response DlpServer::readUserInfo() {
  UserInfo u;
  u.userId = user_.userId;
  u.viewerId = user_.viewerId;
  u.lastSyncPc = user_.lastSyncPc;
  u.lastSuccessfulSync = user_.lastSuccessfulSync;
  u.lastSync = user_.lastSync;
  u.name = user_.name;
  return answerWith(u);
}

Response DlpServer::writeUserInfo(const WriteUserInfoRequest& q) {
  using W = WriteUserInfoRequest;
  if ((q.modFlags & W::kName) && q.name.size() >= 41) return failure(kWriteUserInfo, kErrArgSize);
  if (q.modFlags & W::kUserId) user_.userId = q.userId;
  if (q.modFlags & W::kSyncPc) user_.lastSyncPc = q.lastSyncPc;
  if (q.modFlags & W::kSyncDate) user_.lastSync = q.lastSync;
  if (q.modFlags & W::kName) user_.name = q.name;
  if (q.modFlags & W::kViewerId) user_.viewerId = q.viewerId;
  return answerWith(WriteUserInfoAnswer{});
}

Response DlpServer::readSysInfo(const ReadSysInfoRequest& q) {
  SysInfo s;
  s.romVersion = kRomVersion;
  s.locale = kLocale;
  // Handhelds answer the DLP version only to desktops that said theirs.
  if (q.withHostVersion) s.dlp = SysInfo::Dlp{1, 2, 1, 0, kLargestRecord};
  return answerWith(s);
}

Response DlpServer::readDbList(const ReadDbListRequest& q) {
  // One card of RAM databases: no ROM databases, no other card.
  if (!(q.flags & ReadDbListRequest::kRam) || q.card != 0)
    return failure(kReadDbList, kErrNotFound);
  size_t wanted = (q.flags & ReadDbListRequest::kMultiple) ? kDbListBatch : 1;
  DbList list;
  SyncSearchTypeCreator search{0, SYNC_SEARCH_NEW, 0, 0};
  SyncDbInfo info{};
  for (uint32_t index = 0; index <= 0xFFFF; ++index) {
    if (handheld_.findByTypeCreator(search, info) != SYNC_OK) break;
    search.searchFlags = SYNC_SEARCH_CONTINUE;
    if (index < q.start) continue;
    if (list.databases.size() == wanted) {
      list.flags = DbList::kMore;
      break;
    }
    list.databases.push_back(toDbInfo(info, static_cast<uint16_t>(index)));
    list.lastIndex = static_cast<uint16_t>(index);
  }
  if (list.databases.empty()) return failure(kReadDbList, kErrNotFound);
  return answerWith(list);
}

Response DlpServer::openDb(const OpenDbRequest& q) {
  if (q.name.size() >= kNameField) return failure(kOpenDb, kErrParameter);
  uint8_t handle = 0;
  int32_t r = handheld_.open(q.name.c_str(), q.card, syncMode(q.mode), handle);
  if (r != SYNC_OK) return result(kOpenDb, r);
  open_[handle] = q.name;
  return answerWith(OpenDbAnswer{handle});
}

Response DlpServer::createDb(const CreateDbRequest& q) {
  if (q.name.empty() || q.name.size() >= kNameField) return failure(kCreateDb, kErrParameter);
  if (q.flags & CreateDbRequest::kResource) return failure(kCreateDb, kErrNotSupported);
  SyncCreateParams params{};
  params.creator = q.creator;
  params.type = q.type;
  params.card = q.card;
  params.flags = q.flags;
  params.version = q.version;
  std::memcpy(params.name, q.name.data(), q.name.size());
  int32_t r = handheld_.create(params, params.handle);
  if (r != SYNC_OK) return result(kCreateDb, r);
  open_[params.handle] = q.name;
  return answerWith(CreateDbAnswer{params.handle});
}

Response DlpServer::closeDb(const CloseDbRequest& q) {
  if (q.all) {
    open_.clear();
    if (!handheld_.closeAll()) return failure(kCloseDb, kErrSystem);
    return answerWith(CloseDbAnswer{});
  }
  if (!open_.count(q.handle)) return failure(kCloseDb, kErrParameter);
  open_.erase(q.handle);
  int32_t r = handheld_.close(q.handle);
  if (r != SYNC_OK) return result(kCloseDb, r);
  return answerWith(CloseDbAnswer{});
}

Response DlpServer::deleteDb(const DeleteDbRequest& q) {
  if (q.name.size() >= kNameField) return failure(kDeleteDb, kErrParameter);
  return result(kDeleteDb, handheld_.remove(q.name.c_str(), q.card));
}

Response DlpServer::readAppBlock(const ReadAppBlockRequest& q) {
  Bytes block(kBlockLimit);
  SyncAppInfoRequest request{};
  request.bufferSize = kBlockLimit;
  request.bytes = block.data();
  int32_t r = handheld_.readAppInfo(q.handle, request);
  if (r != SYNC_OK) return result(kReadAppBlock, r);
  block.resize(std::min<size_t>(request.blockSize, block.size()));
  if (q.offset > block.size()) return failure(kReadAppBlock, kErrParameter);
  size_t count = std::min<size_t>(q.count, block.size() - q.offset);
  AppBlock answer;
  answer.blockSize = request.blockSize;
  answer.data.assign(block.begin() + q.offset, block.begin() + q.offset + count);
  return answerWith(answer);
}

Response DlpServer::writeAppBlock(WriteAppBlockRequest& q) {
  if (q.data.size() > kLargestRecord) return failure(kWriteAppBlock, kErrLimitExceeded);
  SyncAppInfoRequest request{};
  request.bufferSize = static_cast<uint16_t>(q.data.size());
  request.blockSize = request.bufferSize;
  request.bytes = q.data.data();
  return result(kWriteAppBlock, handheld_.writeAppInfo(q.handle, request));
}

Response DlpServer::readRecord(const ReadRecordRequest& q) {
  Bytes data(kBlockLimit);
  SyncRawRecordInfo info{};
  info.handle = q.handle;
  info.bufferCapacity = kBlockLimit;
  info.bytes = data.data();
  if (q.byId) {
    // The store reads by index only: look for the id among the records.
    SyncRawRecordInfo probe{};
    probe.handle = q.handle;
    int32_t r = SYNC_OK;
    for (uint32_t index = 0; index <= 0xFFFF; ++index) {
      probe.recordIndex = static_cast<uint16_t>(index);
      r = handheld_.readRecordByIndex(probe);
      if (r != SYNC_OK || probe.recordId == q.recordId) break;
    }
    if (r != SYNC_OK || probe.recordId != q.recordId)
      return result(kReadRecord, r == SYNC_OK ? SYNC_ERR_NO_RECORD : r);
    info.recordIndex = probe.recordIndex;
  } else {
    info.recordIndex = q.index;
  }
  int32_t r = handheld_.readRecordByIndex(info);
  if (r != SYNC_OK) return result(kReadRecord, r);
  // Records larger than the answer can describe are beyond this handheld.
  if (info.recordSize > kBlockLimit) return failure(kReadRecord, kErrLimitExceeded);
  data.resize(info.recordSize);
  if (q.offset > data.size()) return failure(kReadRecord, kErrParameter);
  size_t count = std::min<size_t>(q.count, data.size() - q.offset);
  Record answer;
  answer.recordId = info.recordId;
  answer.index = info.recordIndex;
  answer.recordSize = static_cast<uint16_t>(info.recordSize);
  answer.attributes = info.attributes;
  answer.category = static_cast<uint8_t>(info.category);
  answer.data.assign(data.begin() + q.offset, data.begin() + q.offset + count);
  return answerWith(answer);
}

Response DlpServer::writeRecord(WriteRecordRequest& q) {
  if (q.data.size() > kLargestRecord) return failure(kWriteRecord, kErrLimitExceeded);
  SyncRawRecordInfo info{};
  info.handle = q.handle;
  info.recordId = q.recordId;
  info.attributes = q.attributes;
  info.category = q.category;
  info.recordSize = static_cast<uint32_t>(q.data.size());
  info.bufferCapacity = static_cast<uint16_t>(q.data.size());
  info.bytes = q.data.data();
  int32_t r = handheld_.writeRecord(info);
  if (r != SYNC_OK) return result(kWriteRecord, r);
  return answerWith(WriteRecordAnswer{info.recordId});
}

Response DlpServer::readOpenDbInfo(const ReadOpenDbInfoRequest& q) {
  if (!open_.count(q.handle)) return failure(kReadOpenDbInfo, kErrParameter);
  // The count as the handle sees it, changes included: the first index with no record.
  uint32_t low = 0, high = 0x10000;
  while (low < high) {
    uint32_t mid = (low + high) / 2;
    SyncRawRecordInfo probe{};
    probe.handle = q.handle;
    probe.recordIndex = static_cast<uint16_t>(mid);
    int32_t r = mid > 0xFFFF ? SYNC_ERR_NO_RECORD : handheld_.readRecordByIndex(probe);
    if (r == SYNC_OK)
      low = mid + 1;
    else if (r == SYNC_ERR_NO_RECORD)
      high = mid;
    else
      return result(kReadOpenDbInfo, r);
  }
  if (low > 0xFFFF) return failure(kReadOpenDbInfo, kErrLimitExceeded);
  return answerWith(OpenDbInfo{static_cast<uint16_t>(low)});
}

Response DlpServer::addSyncLogEntry(const AddSyncLogEntryRequest& q) {
  size_t room = kMaxSyncLog - syncLog_.size();
  syncLog_.append(q.text, 0, std::min(room, q.text.size()));
  return answerWith(AddSyncLogEntryAnswer{});
}

Response DlpServer::endOfSync(const EndOfSyncRequest& q) {
  // Everything still open is written before the desktop hears that the session is over.
  open_.clear();
  bool written = handheld_.closeAll();
  ended_ = true;
  wroteAll_ = written;
  if (q.status == EndOfSyncRequest::kNormal && written) user_.lastSuccessfulSync = user_.lastSync;
  if (!written) return failure(kEndOfSync, kErrSystem);
  return answerWith(EndOfSyncAnswer{});
}

Response DlpServer::findDb(const FindDbRequest& q) {
  SyncDbInfo info{};
  int32_t r = SYNC_OK;
  switch (q.by) {
    case FindDbRequest::By::Name: {
      if (q.name.size() >= kNameField) return failure(kFindDb, kErrParameter);
      SyncSearchName search{q.options, q.card, q.name.c_str()};
      r = handheld_.findByName(search, info);
      break;
    }
    case FindDbRequest::By::Handle: {
      auto it = open_.find(q.handle);
      if (it == open_.end()) return failure(kFindDb, kErrParameter);
      SyncSearchName search{q.options, 0, it->second.c_str()};
      r = handheld_.findByName(search, info);
      break;
    }
    case FindDbRequest::By::TypeCreator: {
      SyncSearchTypeCreator search{
          q.options,
          static_cast<uint8_t>((q.searchFlags & FindDbRequest::kNewSearch) ? SYNC_SEARCH_NEW
                                                                           : SYNC_SEARCH_CONTINUE),
          q.type, q.creator};
      r = handheld_.findByTypeCreator(search, info);
      break;
    }
  }
  if (r != SYNC_OK) return result(kFindDb, r);
  FindDbAnswer answer;
  std::string name(info.name, nameLength(info));
  uint32_t openRef = 0;
  for (const auto& [handle, openName] : open_)
    if (openName == name) openRef = handle;
  answer.found = FindDbAnswer::Found{0, 0, openRef, std::nullopt};
  if (q.options & FindDbRequest::kGetAttributes) answer.found->info = toDbInfo(info, 0xFFFF);
  if (q.options & FindDbRequest::kGetSize)
    answer.sizes = FindDbAnswer::Sizes{info.recordCount, info.totalSize, info.totalSize, 0, 0, 0};
  return answerWith(answer);
}

}  // namespace lumora::link
