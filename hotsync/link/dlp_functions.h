// Typed DLP functions, for both ends of the link: the desktop encodes requests and decodes
// answers, the simulated handheld decodes requests and encodes answers. Each request and
// answer is a plain struct; toRequest/toResponse build the generic packet, fromRequest/
// fromResponse read it back. Lengths that travel as their own field (name lengths, counts)
// are derived from the data; a value that does not fit its field is refused.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/bytes.h"
#include "hotsync/link/dlp_packet.h"
#include "hotsync/link/result.h"

namespace lumora::link::dlp {

// Function ids.
enum : uint8_t {
  kReadUserInfo = 0x10,
  kWriteUserInfo = 0x11,
  kReadSysInfo = 0x12,
  kReadDbList = 0x16,
  kOpenDb = 0x17,
  kCreateDb = 0x18,
  kCloseDb = 0x19,
  kDeleteDb = 0x1A,
  kReadAppBlock = 0x1B,
  kWriteAppBlock = 0x1C,
  kReadRecord = 0x20,
  kWriteRecord = 0x21,
  kWriteResource = 0x24,
  kResetSystem = 0x29,
  kAddSyncLogEntry = 0x2A,
  kReadOpenDbInfo = 0x2B,
  kOpenConduit = 0x2E,
  kEndOfSync = 0x2F,
  kFindDb = 0x39,
};

// Error codes of answers.
enum : uint16_t {
  kErrNone = 0,
  kErrSystem = 1,
  kErrIllegalRequest = 2,  // also: FindDB on a handheld below DLP 1.2
  kErrMemory = 3,
  kErrParameter = 4,
  kErrNotFound = 5,  // also the end of a list or search
  kErrNoneOpen = 6,
  kErrDatabaseOpen = 7,
  kErrTooManyOpen = 8,
  kErrAlreadyExists = 9,
  kErrCantOpen = 0x0A,
  kErrRecordDeleted = 0x0B,
  kErrRecordBusy = 0x0C,
  kErrNotSupported = 0x0D,
  kErrReadOnly = 0x0F,
  kErrNotEnoughSpace = 0x10,
  kErrLimitExceeded = 0x11,
  kErrCancelSync = 0x12,
  kErrBadWrapper = 0x13,
  kErrArgMissing = 0x14,
  kErrArgSize = 0x15,
};

// The name of a DLP function id ("ReadUserInfo"), or null when unknown.
const char* functionName(uint8_t function);

// Year, month .. second, and the byte after them (0; kept as received).
struct Date {
  uint16_t year = 0;
  uint8_t month = 0, day = 0, hour = 0, minute = 0, second = 0, pad = 0;
  bool operator==(const Date&) const = default;
};

// Database information as ReadDBList and FindDB give it (44 bytes, the name, padding).
struct DbInfo {
  uint8_t miscFlags = 0;
  uint16_t attributes = 0;
  uint32_t type = 0;
  uint32_t creator = 0;
  uint16_t version = 0;
  uint32_t modificationNumber = 0;
  Date created, modified, backedUp;
  uint16_t index = 0;  // 0xFFFF from FindDB
  std::string name;
  bool operator==(const DbInfo&) const = default;
};

// Requests and answers without arguments.
template <uint8_t F>
struct NoArguments {
  static constexpr uint8_t kFunction = F;
  Result<std::vector<Argument>> args() const { return std::vector<Argument>{}; }
  static Result<NoArguments> parse(const std::vector<Argument>&) { return NoArguments{}; }
  std::string summary() const { return {}; }
  bool operator==(const NoArguments&) const = default;
};

using ReadUserInfoRequest = NoArguments<kReadUserInfo>;
using WriteUserInfoAnswer = NoArguments<kWriteUserInfo>;
using CloseDbAnswer = NoArguments<kCloseDb>;
using DeleteDbAnswer = NoArguments<kDeleteDb>;
using WriteAppBlockAnswer = NoArguments<kWriteAppBlock>;
using WriteResourceAnswer = NoArguments<kWriteResource>;
using ResetSystemRequest = NoArguments<kResetSystem>;
using ResetSystemAnswer = NoArguments<kResetSystem>;
using AddSyncLogEntryAnswer = NoArguments<kAddSyncLogEntry>;
using OpenConduitRequest = NoArguments<kOpenConduit>;
using OpenConduitAnswer = NoArguments<kOpenConduit>;  // error 0x12: the user cancelled
using EndOfSyncAnswer = NoArguments<kEndOfSync>;

#define LUMORA_DLP_MESSAGE(Type, function)                      \
  static constexpr uint8_t kFunction = function;                \
  Result<std::vector<Argument>> args() const;                   \
  static Result<Type> parse(const std::vector<Argument>& args); \
  std::string summary() const;                                  \
  bool operator==(const Type&) const = default

struct UserInfo {  // answer of ReadUserInfo
  uint32_t userId = 0, viewerId = 0, lastSyncPc = 0;
  Date lastSuccessfulSync, lastSync;
  std::string name;  // empty: the handheld has no user name
  Bytes password;    // as stored on the handheld
  LUMORA_DLP_MESSAGE(UserInfo, kReadUserInfo);
};

struct WriteUserInfoRequest {
  enum : uint8_t {
    kUserId = 0x80,
    kSyncPc = 0x40,
    kSyncDate = 0x20,
    kName = 0x10,
    kViewerId = 0x08
  };
  uint32_t userId = 0, viewerId = 0, lastSyncPc = 0;
  Date lastSync;
  uint8_t modFlags = 0;  // which of the fields change
  std::string name;
  LUMORA_DLP_MESSAGE(WriteUserInfoRequest, kWriteUserInfo);
};

struct ReadSysInfoRequest {
  bool withHostVersion = true;  // DLP 1.2 and later send it
  uint16_t hostMajor = 1, hostMinor = 2;
  LUMORA_DLP_MESSAGE(ReadSysInfoRequest, kReadSysInfo);
};

struct SysInfo {  // answer of ReadSysInfo
  struct Dlp {
    uint16_t major = 0, minor = 0, compatMajor = 0, compatMinor = 0;
    uint32_t largestRecord = 0;
    bool operator==(const Dlp&) const = default;
  };
  uint32_t romVersion = 0, locale = 0;
  Bytes productId;
  std::optional<Dlp> dlp;  // handhelds with DLP 1.2 and later
  LUMORA_DLP_MESSAGE(SysInfo, kReadSysInfo);
};

struct ReadDbListRequest {
  enum : uint8_t { kRam = 0x80, kRom = 0x40, kMultiple = 0x20 };
  uint8_t flags = kRam;
  uint8_t card = 0;
  uint16_t start = 0;
  LUMORA_DLP_MESSAGE(ReadDbListRequest, kReadDbList);
};

struct DbList {  // answer of ReadDBList
  enum : uint8_t { kMore = 0x80 };
  uint16_t lastIndex = 0;
  uint8_t flags = 0;
  std::vector<DbInfo> databases;
  LUMORA_DLP_MESSAGE(DbList, kReadDbList);
};

struct OpenDbRequest {
  enum : uint8_t { kRead = 0x80, kWrite = 0x40, kExclusive = 0x20, kSecret = 0x10 };
  uint8_t card = 0;
  uint8_t mode = kRead;
  std::string name;
  LUMORA_DLP_MESSAGE(OpenDbRequest, kOpenDb);
};

struct OpenDbAnswer {
  uint8_t handle = 0;
  LUMORA_DLP_MESSAGE(OpenDbAnswer, kOpenDb);
};

struct CreateDbRequest {
  enum : uint16_t { kResource = 0x0001, kBackup = 0x0008 };
  uint32_t creator = 0, type = 0;
  uint8_t card = 0;
  uint16_t flags = 0;
  uint16_t version = 0;
  std::string name;
  LUMORA_DLP_MESSAGE(CreateDbRequest, kCreateDb);
};

struct CreateDbAnswer {
  uint8_t handle = 0;
  LUMORA_DLP_MESSAGE(CreateDbAnswer, kCreateDb);
};

struct CloseDbRequest {
  bool all = false;  // close every open database
  uint8_t handle = 0;
  LUMORA_DLP_MESSAGE(CloseDbRequest, kCloseDb);
};

struct DeleteDbRequest {
  uint8_t card = 0;
  std::string name;
  LUMORA_DLP_MESSAGE(DeleteDbRequest, kDeleteDb);
};

struct ReadAppBlockRequest {
  static constexpr uint16_t kToEnd = 0xFFFF;
  uint8_t handle = 0;
  uint16_t offset = 0, count = kToEnd;
  LUMORA_DLP_MESSAGE(ReadAppBlockRequest, kReadAppBlock);
};

struct AppBlock {          // answer of ReadAppBlock
  uint16_t blockSize = 0;  // of the whole block
  Bytes data;              // the part asked for
  LUMORA_DLP_MESSAGE(AppBlock, kReadAppBlock);
};

struct WriteAppBlockRequest {
  uint8_t handle = 0;
  Bytes data;  // empty: remove the block
  LUMORA_DLP_MESSAGE(WriteAppBlockRequest, kWriteAppBlock);
};

struct ReadRecordRequest {
  bool byId = false;  // else by index
  uint8_t handle = 0;
  uint16_t index = 0;
  uint32_t recordId = 0;
  uint16_t offset = 0, count = 0xFFFF;
  LUMORA_DLP_MESSAGE(ReadRecordRequest, kReadRecord);
};

struct Record {  // answer of ReadRecord
  uint32_t recordId = 0;
  uint16_t index = 0;
  uint16_t recordSize = 0;  // of the whole record
  uint8_t attributes = 0, category = 0;
  Bytes data;
  LUMORA_DLP_MESSAGE(Record, kReadRecord);
};

struct WriteRecordRequest {
  uint8_t handle = 0;
  uint8_t flags = 0x80;
  uint32_t recordId = 0;  // 0: a new record
  uint8_t attributes = 0, category = 0;
  Bytes data;
  LUMORA_DLP_MESSAGE(WriteRecordRequest, kWriteRecord);
};

struct WriteRecordAnswer {
  uint32_t recordId = 0;
  LUMORA_DLP_MESSAGE(WriteRecordAnswer, kWriteRecord);
};

struct WriteResourceRequest {
  uint8_t handle = 0;
  uint32_t type = 0;
  uint16_t id = 0;
  Bytes data;
  LUMORA_DLP_MESSAGE(WriteResourceRequest, kWriteResource);
};

struct AddSyncLogEntryRequest {
  std::string text;
  LUMORA_DLP_MESSAGE(AddSyncLogEntryRequest, kAddSyncLogEntry);
};

struct ReadOpenDbInfoRequest {
  uint8_t handle = 0;
  LUMORA_DLP_MESSAGE(ReadOpenDbInfoRequest, kReadOpenDbInfo);
};

struct OpenDbInfo {  // answer of ReadOpenDBInfo
  uint16_t recordCount = 0;
  LUMORA_DLP_MESSAGE(OpenDbInfo, kReadOpenDbInfo);
};

struct EndOfSyncRequest {
  enum : uint16_t { kNormal = 0, kOutOfMemory = 1, kCancelled = 2, kOther = 3, kIncompatible = 4 };
  uint16_t status = kNormal;
  LUMORA_DLP_MESSAGE(EndOfSyncRequest, kEndOfSync);
};

struct FindDbRequest {
  enum class By : uint8_t { Name, Handle, TypeCreator };
  enum : uint8_t { kGetAttributes = 0x80, kGetSize = 0x40, kGetLargestRecord = 0x20 };
  enum : uint8_t { kNewSearch = 0x80, kLatestOnly = 0x40 };
  By by = By::Name;
  uint8_t options = kGetAttributes;
  uint8_t card = 0;                // by name
  std::string name;                // by name
  uint8_t handle = 0;              // by open handle
  uint8_t searchFlags = 0;         // by type and creator
  uint32_t type = 0, creator = 0;  // by type and creator; 0: any
  LUMORA_DLP_MESSAGE(FindDbRequest, kFindDb);
};

struct FindDbAnswer {
  struct Found {  // argument 0x20
    uint8_t card = 0;
    uint32_t localId = 0, openRef = 0;
    std::optional<DbInfo> info;  // with option kGetAttributes
    bool operator==(const Found&) const = default;
  };
  struct Sizes {  // argument 0x21, with option kGetSize
    uint32_t recordCount = 0, totalBytes = 0, dataBytes = 0, appInfoSize = 0, sortInfoSize = 0,
             largestRecord = 0;
    bool operator==(const Sizes&) const = default;
  };
  std::optional<Found> found;
  std::optional<Sizes> sizes;
  LUMORA_DLP_MESSAGE(FindDbAnswer, kFindDb);
};

#undef LUMORA_DLP_MESSAGE

template <class T>
Result<Request> toRequest(const T& message) {
  auto args = message.args();
  if (!args) return args.error();
  return Request{T::kFunction, std::move(*args)};
}

// An answer without error; error answers are built as a generic Response.
template <class T>
Result<Response> toResponse(const T& message) {
  auto args = message.args();
  if (!args) return args.error();
  return Response{T::kFunction, kErrNone, std::move(*args)};
}

Error wrongFunction(uint8_t expected, uint8_t got);
Error answeredError(uint8_t function, uint16_t error);

template <class T>
Result<T> fromRequest(const Request& request) {
  if (request.function != T::kFunction) return wrongFunction(T::kFunction, request.function);
  return T::parse(request.args);
}

// Only answers with error 0 carry the fields; check Response::error first.
template <class T>
Result<T> fromResponse(const Response& response) {
  if (response.function != T::kFunction) return wrongFunction(T::kFunction, response.function);
  if (response.error != kErrNone) return answeredError(response.function, response.error);
  return T::parse(response.args);
}

}  // namespace lumora::link::dlp
