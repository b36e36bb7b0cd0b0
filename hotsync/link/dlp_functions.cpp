#include "hotsync/link/dlp_functions.h"

#include <cstdio>
#include <iterator>

#include "hotsync/link/fields.h"

namespace lumora::link::dlp {
namespace {

constexpr uint8_t kArg0 = 0x20;
constexpr uint8_t kArg1 = 0x21;
constexpr uint8_t kArg2 = 0x22;
constexpr size_t kDbInfoHeaderSize = 44;

std::string hex(uint32_t v, int digits = 2) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%0*X", digits, static_cast<unsigned>(v));
  return buf;
}

std::string fourcc(uint32_t v) {
  std::string s = "'";
  for (int shift = 24; shift >= 0; shift -= 8) {
    auto c = static_cast<char>(v >> shift);
    s += (c >= 0x20 && c < 0x7F) ? c : '.';
  }
  return s + "'";
}

std::string quoted(const std::string& s) {
  std::string out = "\"";
  for (char c : s) out += (c >= 0x20 && c < 0x7F) ? c : '?';
  return out + "\"";
}

std::string dateText(const Date& d) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04u-%02u-%02u %02u:%02u:%02u", d.year, d.month, d.day, d.hour,
                d.minute, d.second);
  return buf;
}

std::string what(uint8_t function, const char* kind) {
  const char* name = functionName(function);
  return std::string(name ? name : hex(function)) + " " + kind;
}

// One argument built from a writer's bytes.
Result<std::vector<Argument>> oneArgument(FieldWriter& w, uint8_t id = kArg0) {
  if (auto e = w.error()) return *e;
  return std::vector<Argument>{Argument{id, w.take(), Wrapper::Auto}};
}

Result<ByteView> required(const std::vector<Argument>& args, uint8_t id, uint8_t function,
                          const char* kind) {
  const Argument* a = findArgument(args, id);
  if (!a) {
    return makeError(ErrorCode::MissingArgument,
                     what(function, kind) + ": argument " + hex(id) + " is missing");
  }
  return ByteView(a->data);
}

template <class T>
Result<T> finished(FieldReader& r, T value) {
  if (auto e = r.finish()) return *e;
  return value;
}

void writeDbInfo(FieldWriter& w, const DbInfo& d) {
  size_t size = kDbInfoHeaderSize + d.name.size() + 1;
  size += size % 2;
  w.u8(static_cast<uint8_t>(w.length(size, 0xFF, "database info size")));
  w.u8(d.miscFlags);
  w.be16(d.attributes);
  w.be32(d.type);
  w.be32(d.creator);
  w.be16(d.version);
  w.be32(d.modificationNumber);
  w.date(d.created);
  w.date(d.modified);
  w.date(d.backedUp);
  w.be16(d.index);
  w.cstring(d.name, "database name");
  if ((kDbInfoHeaderSize + d.name.size() + 1) % 2) w.u8(0);
}

// One database info of the size its first byte gives; the padding after the name is skipped.
DbInfo readDbInfo(FieldReader& outer) {
  size_t size = outer.u8("database info size");
  if (outer.failed()) return {};
  if (size < kDbInfoHeaderSize + 1) {
    outer.fail(ErrorCode::BadValue, "database info size " + std::to_string(size) +
                                        " is below the " + std::to_string(kDbInfoHeaderSize + 1) +
                                        " bytes of its header and name");
    return {};
  }
  ByteView entry = outer.bytes(size - 1, "database info");
  if (outer.failed()) return {};
  FieldReader r(entry, "database info");
  DbInfo d;
  d.miscFlags = r.u8("misc flags");
  d.attributes = r.be16("attributes");
  d.type = r.be32("type");
  d.creator = r.be32("creator");
  d.version = r.be16("version");
  d.modificationNumber = r.be32("modification number");
  d.created = r.date("creation date");
  d.modified = r.date("modification date");
  d.backedUp = r.date("backup date");
  d.index = r.be16("index");
  d.name = r.cstring("name");
  if (r.failed()) {
    if (auto e = r.finish()) outer.fail(e->code, e->message);
  }
  return d;
}

std::string dbInfoText(const DbInfo& d) {
  return quoted(d.name) + " " + fourcc(d.type) + "/" + fourcc(d.creator) +
         " attr=" + hex(d.attributes, 4) + " v" + std::to_string(d.version);
}

}  // namespace

const char* functionName(uint8_t function) {
  // Ids 0x10 to 0x3A, in order.
  static constexpr const char* kNames[] = {"ReadUserInfo",
                                           "WriteUserInfo",
                                           "ReadSysInfo",
                                           "GetSysDateTime",
                                           "SetSysDateTime",
                                           "ReadStorageInfo",
                                           "ReadDBList",
                                           "OpenDB",
                                           "CreateDB",
                                           "CloseDB",
                                           "DeleteDB",
                                           "ReadAppBlock",
                                           "WriteAppBlock",
                                           "ReadSortBlock",
                                           "WriteSortBlock",
                                           "ReadNextModifiedRec",
                                           "ReadRecord",
                                           "WriteRecord",
                                           "DeleteRecord",
                                           "ReadResource",
                                           "WriteResource",
                                           "DeleteResource",
                                           "CleanUpDatabase",
                                           "ResetSyncFlags",
                                           "CallApplication",
                                           "ResetSystem",
                                           "AddSyncLogEntry",
                                           "ReadOpenDBInfo",
                                           "MoveCategory",
                                           "ProcessRPC",
                                           "OpenConduit",
                                           "EndOfSync",
                                           "ResetRecordIndex",
                                           "ReadRecordIDList",
                                           "ReadNextRecInCategory",
                                           "ReadNextModifiedRecInCategory",
                                           "ReadAppPreference",
                                           "WriteAppPreference",
                                           "ReadNetSyncInfo",
                                           "WriteNetSyncInfo",
                                           "ReadFeature",
                                           "FindDB",
                                           "SetDBInfo"};
  constexpr uint8_t kFirst = 0x10;
  if (function < kFirst || function - kFirst >= static_cast<int>(std::size(kNames))) return nullptr;
  return kNames[function - kFirst];
}

Error wrongFunction(uint8_t expected, uint8_t got) {
  return makeError(ErrorCode::WrongFunction,
                   "expected function " + hex(expected) + ", the packet is of " + hex(got));
}

Error answeredError(uint8_t function, uint16_t error) {
  return makeError(ErrorCode::BadValue,
                   what(function, "answer") + " carries error " + hex(error, 4));
}

// ---- ReadUserInfo / WriteUserInfo -------------------------------------------------------

Result<std::vector<Argument>> UserInfo::args() const {
  FieldWriter w("ReadUserInfo answer");
  w.be32(userId);
  w.be32(viewerId);
  w.be32(lastSyncPc);
  w.date(lastSuccessfulSync);
  w.date(lastSync);
  w.u8(static_cast<uint8_t>(w.length(name.empty() ? 0 : name.size() + 1, 0xFF, "name length")));
  w.u8(static_cast<uint8_t>(w.length(password.size(), 0xFF, "password length")));
  if (!name.empty()) w.cstring(name, "name");
  w.bytes(password);
  return oneArgument(w);
}

Result<UserInfo> UserInfo::parse(const std::vector<Argument>& args) {
  auto a = required(args, kArg0, kFunction, "answer");
  if (!a) return a.error();
  FieldReader r(*a, "ReadUserInfo answer");
  UserInfo u;
  u.userId = r.be32("user id");
  u.viewerId = r.be32("viewer id");
  u.lastSyncPc = r.be32("last sync PC");
  u.lastSuccessfulSync = r.date("last successful sync");
  u.lastSync = r.date("last sync");
  uint8_t nameLength = r.u8("name length");
  uint8_t passwordLength = r.u8("password length");
  u.name = r.sizedCString(nameLength, "name");
  ByteView pw = r.bytes(passwordLength, "password");
  u.password.assign(pw.begin(), pw.end());
  return finished(r, std::move(u));
}

std::string UserInfo::summary() const {
  return "user=" + quoted(name) + " id=" + std::to_string(userId) +
         " last sync=" + dateText(lastSync);
}

Result<std::vector<Argument>> WriteUserInfoRequest::args() const {
  FieldWriter w("WriteUserInfo request");
  w.be32(userId);
  w.be32(viewerId);
  w.be32(lastSyncPc);
  w.date(lastSync);
  w.u8(modFlags);
  w.u8(static_cast<uint8_t>(w.length(name.empty() ? 0 : name.size() + 1, 0xFF, "name length")));
  if (!name.empty()) w.cstring(name, "name");
  return oneArgument(w);
}

Result<WriteUserInfoRequest> WriteUserInfoRequest::parse(const std::vector<Argument>& args) {
  auto a = required(args, kArg0, kFunction, "request");
  if (!a) return a.error();
  FieldReader r(*a, "WriteUserInfo request");
  WriteUserInfoRequest q;
  q.userId = r.be32("user id");
  q.viewerId = r.be32("viewer id");
  q.lastSyncPc = r.be32("last sync PC");
  q.lastSync = r.date("last sync");
  q.modFlags = r.u8("flags");
  uint8_t nameLength = r.u8("name length");
  q.name = r.sizedCString(nameLength, "name");
  return finished(r, std::move(q));
}

std::string WriteUserInfoRequest::summary() const {
  return "flags=" + hex(modFlags) + " user=" + quoted(name) + " last sync=" + dateText(lastSync);
}

// ---- ReadSysInfo --------------------------------------------------------------------------

Result<std::vector<Argument>> ReadSysInfoRequest::args() const {
  if (!withHostVersion) return std::vector<Argument>{};
  FieldWriter w("ReadSysInfo request");
  w.be16(hostMajor);
  w.be16(hostMinor);
  return oneArgument(w);
}

Result<ReadSysInfoRequest> ReadSysInfoRequest::parse(const std::vector<Argument>& args) {
  const Argument* a = findArgument(args, kArg0);
  if (!a) return ReadSysInfoRequest{false, 0, 0};
  FieldReader r(a->data, "ReadSysInfo request");
  ReadSysInfoRequest q;
  q.hostMajor = r.be16("host DLP major");
  q.hostMinor = r.be16("host DLP minor");
  return finished(r, q);
}

std::string ReadSysInfoRequest::summary() const {
  if (!withHostVersion) return {};
  return "host DLP " + std::to_string(hostMajor) + "." + std::to_string(hostMinor);
}

Result<std::vector<Argument>> SysInfo::args() const {
  FieldWriter w("ReadSysInfo answer");
  w.be32(romVersion);
  w.be32(locale);
  w.u8(0);
  w.u8(static_cast<uint8_t>(w.length(productId.size(), 0xFF, "product id length")));
  w.bytes(productId);
  auto first = oneArgument(w);
  if (!first || !dlp) return first;
  FieldWriter v("ReadSysInfo answer");
  v.be16(dlp->major);
  v.be16(dlp->minor);
  v.be16(dlp->compatMajor);
  v.be16(dlp->compatMinor);
  v.be32(dlp->largestRecord);
  first->push_back(Argument{kArg1, v.take(), Wrapper::Auto});
  return first;
}

Result<SysInfo> SysInfo::parse(const std::vector<Argument>& args) {
  auto a = required(args, kArg0, kFunction, "answer");
  if (!a) return a.error();
  FieldReader r(*a, "ReadSysInfo answer");
  SysInfo s;
  s.romVersion = r.be32("ROM version");
  s.locale = r.be32("locale");
  r.u8("reserved");
  uint8_t idLength = r.u8("product id length");
  ByteView id = r.bytes(idLength, "product id");
  s.productId.assign(id.begin(), id.end());
  if (auto e = r.finish()) return *e;
  if (const Argument* b = findArgument(args, kArg1)) {
    FieldReader v(b->data, "ReadSysInfo answer, DLP version");
    Dlp d;
    d.major = v.be16("DLP major");
    d.minor = v.be16("DLP minor");
    d.compatMajor = v.be16("compatible major");
    d.compatMinor = v.be16("compatible minor");
    d.largestRecord = v.be32("largest record");
    if (auto e = v.finish()) return *e;
    s.dlp = d;
  }
  return s;
}

std::string SysInfo::summary() const {
  std::string s = "ROM " + hex(romVersion, 8);
  if (dlp) {
    s += " DLP " + std::to_string(dlp->major) + "." + std::to_string(dlp->minor) +
         " largest record " + std::to_string(dlp->largestRecord);
  }
  return s;
}

// ---- ReadDBList ---------------------------------------------------------------------------

Result<std::vector<Argument>> ReadDbListRequest::args() const {
  FieldWriter w("ReadDBList request");
  w.u8(flags);
  w.u8(card);
  w.be16(start);
  return oneArgument(w);
}

Result<ReadDbListRequest> ReadDbListRequest::parse(const std::vector<Argument>& args) {
  auto a = required(args, kArg0, kFunction, "request");
  if (!a) return a.error();
  FieldReader r(*a, "ReadDBList request");
  ReadDbListRequest q;
  q.flags = r.u8("flags");
  q.card = r.u8("card");
  q.start = r.be16("start index");
  return finished(r, q);
}

std::string ReadDbListRequest::summary() const {
  return "flags=" + hex(flags) + " card=" + std::to_string(card) +
         " start=" + std::to_string(start);
}

Result<std::vector<Argument>> DbList::args() const {
  FieldWriter w("ReadDBList answer");
  w.be16(lastIndex);
  w.u8(flags);
  w.u8(static_cast<uint8_t>(w.length(databases.size(), 0xFF, "database count")));
  for (const DbInfo& d : databases) writeDbInfo(w, d);
  return oneArgument(w);
}

Result<DbList> DbList::parse(const std::vector<Argument>& args) {
  auto a = required(args, kArg0, kFunction, "answer");
  if (!a) return a.error();
  FieldReader r(*a, "ReadDBList answer");
  DbList l;
  l.lastIndex = r.be16("last index");
  l.flags = r.u8("flags");
  uint8_t count = r.u8("count");
  for (unsigned i = 0; i < count && !r.failed(); ++i) l.databases.push_back(readDbInfo(r));
  return finished(r, std::move(l));
}

std::string DbList::summary() const {
  std::string s = std::to_string(databases.size()) + " databases, last index " +
                  std::to_string(lastIndex) + ((flags & kMore) ? ", more" : "");
  if (!databases.empty()) s += ": " + dbInfoText(databases.front());
  if (databases.size() > 1) s += " ...";
  return s;
}

// ---- OpenDB / CreateDB / CloseDB / DeleteDB ----------------------------------------------

Result<std::vector<Argument>> OpenDbRequest::args() const {
  FieldWriter w("OpenDB request");
  w.u8(card);
  w.u8(mode);
  w.cstring(name, "name");
  return oneArgument(w);
}

Result<OpenDbRequest> OpenDbRequest::parse(const std::vector<Argument>& args) {
  auto a = required(args, kArg0, kFunction, "request");
  if (!a) return a.error();
  FieldReader r(*a, "OpenDB request");
  OpenDbRequest q;
  q.card = r.u8("card");
  q.mode = r.u8("mode");
  q.name = r.cstring("name");
  return finished(r, std::move(q));
}

std::string OpenDbRequest::summary() const {
  return quoted(name) + " mode=" + hex(mode) + " card=" + std::to_string(card);
}

namespace {

Result<std::vector<Argument>> handleArgs(uint8_t handle, const char* what) {
  FieldWriter w(what);
  w.u8(handle);
  return oneArgument(w);
}

Result<uint8_t> parseHandle(const std::vector<Argument>& args, uint8_t function, const char* kind,
                            const char* what) {
  auto a = required(args, kArg0, function, kind);
  if (!a) return a.error();
  FieldReader r(*a, what);
  uint8_t h = r.u8("handle");
  return finished(r, h);
}

}  // namespace

Result<std::vector<Argument>> OpenDbAnswer::args() const {
  return handleArgs(handle, "OpenDB answer");
}

Result<OpenDbAnswer> OpenDbAnswer::parse(const std::vector<Argument>& args) {
  auto h = parseHandle(args, kFunction, "answer", "OpenDB answer");
  if (!h) return h.error();
  return OpenDbAnswer{*h};
}

std::string OpenDbAnswer::summary() const {
  return "handle=" + std::to_string(handle);
}

Result<std::vector<Argument>> CreateDbRequest::args() const {
  FieldWriter w("CreateDB request");
  w.be32(creator);
  w.be32(type);
  w.u8(card);
  w.u8(0);
  w.be16(flags);
  w.be16(version);
  w.cstring(name, "name");
  return oneArgument(w);
}

Result<CreateDbRequest> CreateDbRequest::parse(const std::vector<Argument>& args) {
  auto a = required(args, kArg0, kFunction, "request");
  if (!a) return a.error();
  FieldReader r(*a, "CreateDB request");
  CreateDbRequest q;
  q.creator = r.be32("creator");
  q.type = r.be32("type");
  q.card = r.u8("card");
  r.u8("reserved");
  q.flags = r.be16("flags");
  q.version = r.be16("version");
  q.name = r.cstring("name");
  return finished(r, std::move(q));
}

std::string CreateDbRequest::summary() const {
  return quoted(name) + " " + fourcc(type) + "/" + fourcc(creator) + " flags=" + hex(flags, 4) +
         " v" + std::to_string(version) + " card=" + std::to_string(card);
}

Result<std::vector<Argument>> CreateDbAnswer::args() const {
  return handleArgs(handle, "CreateDB answer");
}

Result<CreateDbAnswer> CreateDbAnswer::parse(const std::vector<Argument>& args) {
  auto h = parseHandle(args, kFunction, "answer", "CreateDB answer");
  if (!h) return h.error();
  return CreateDbAnswer{*h};
}

std::string CreateDbAnswer::summary() const {
  return "handle=" + std::to_string(handle);
}

Result<std::vector<Argument>> CloseDbRequest::args() const {
  if (all) return std::vector<Argument>{Argument{kArg1, {}, Wrapper::Auto}};
  return handleArgs(handle, "CloseDB request");
}

Result<CloseDbRequest> CloseDbRequest::parse(const std::vector<Argument>& args) {
  if (findArgument(args, kArg0) == nullptr) {
    const Argument* all = findArgument(args, kArg1);
    if (all == nullptr) {
      return makeError(ErrorCode::MissingArgument,
                       "CloseDB request: neither argument 0x20 (handle) nor 0x21 (all)");
    }
    if (!all->data.empty()) {
      return makeError(ErrorCode::TrailingBytes, "CloseDB request: close-all argument holds " +
                                                     std::to_string(all->data.size()) + " bytes");
    }
    return CloseDbRequest{true, 0};
  }
  auto h = parseHandle(args, kFunction, "request", "CloseDB request");
  if (!h) return h.error();
  return CloseDbRequest{false, *h};
}

std::string CloseDbRequest::summary() const {
  return all ? "all" : "handle=" + std::to_string(handle);
}

Result<std::vector<Argument>> DeleteDbRequest::args() const {
  FieldWriter w("DeleteDB request");
  w.u8(card);
  w.u8(0);
  w.cstring(name, "name");
  return oneArgument(w);
}

Result<DeleteDbRequest> DeleteDbRequest::parse(const std::vector<Argument>& args) {
  auto a = required(args, kArg0, kFunction, "request");
  if (!a) return a.error();
  FieldReader r(*a, "DeleteDB request");
  DeleteDbRequest q;
  q.card = r.u8("card");
  r.u8("reserved");
  q.name = r.cstring("name");
  return finished(r, std::move(q));
}

std::string DeleteDbRequest::summary() const {
  return quoted(name) + " card=" + std::to_string(card);
}

// ---- App-info block -----------------------------------------------------------------------

Result<std::vector<Argument>> ReadAppBlockRequest::args() const {
  FieldWriter w("ReadAppBlock request");
  w.u8(handle);
  w.u8(0);
  w.be16(offset);
  w.be16(count);
  return oneArgument(w);
}

Result<ReadAppBlockRequest> ReadAppBlockRequest::parse(const std::vector<Argument>& args) {
  auto a = required(args, kArg0, kFunction, "request");
  if (!a) return a.error();
  FieldReader r(*a, "ReadAppBlock request");
  ReadAppBlockRequest q;
  q.handle = r.u8("handle");
  r.u8("reserved");
  q.offset = r.be16("offset");
  q.count = r.be16("count");
  return finished(r, q);
}

std::string ReadAppBlockRequest::summary() const {
  return "handle=" + std::to_string(handle) + " offset=" + std::to_string(offset) +
         " count=" + (count == kToEnd ? std::string("all") : std::to_string(count));
}

Result<std::vector<Argument>> AppBlock::args() const {
  FieldWriter w("ReadAppBlock answer");
  w.be16(blockSize);
  w.bytes(data);
  return oneArgument(w);
}

Result<AppBlock> AppBlock::parse(const std::vector<Argument>& args) {
  auto a = required(args, kArg0, kFunction, "answer");
  if (!a) return a.error();
  FieldReader r(*a, "ReadAppBlock answer");
  AppBlock b;
  b.blockSize = r.be16("block size");
  ByteView d = r.rest();
  b.data.assign(d.begin(), d.end());
  return finished(r, std::move(b));
}

std::string AppBlock::summary() const {
  return "block size=" + std::to_string(blockSize) + ", " + std::to_string(data.size()) + " bytes";
}

Result<std::vector<Argument>> WriteAppBlockRequest::args() const {
  FieldWriter w("WriteAppBlock request");
  w.u8(handle);
  w.u8(0);
  w.be16(static_cast<uint16_t>(w.length(data.size(), 0xFFFF, "block size")));
  w.bytes(data);
  return oneArgument(w);
}

Result<WriteAppBlockRequest> WriteAppBlockRequest::parse(const std::vector<Argument>& args) {
  auto a = required(args, kArg0, kFunction, "request");
  if (!a) return a.error();
  FieldReader r(*a, "WriteAppBlock request");
  WriteAppBlockRequest q;
  q.handle = r.u8("handle");
  r.u8("reserved");
  uint16_t size = r.be16("block size");
  ByteView d = r.bytes(size, "block");
  q.data.assign(d.begin(), d.end());
  return finished(r, std::move(q));
}

std::string WriteAppBlockRequest::summary() const {
  return "handle=" + std::to_string(handle) + ", " + std::to_string(data.size()) + " bytes";
}

// ---- Records and resources ----------------------------------------------------------------

Result<std::vector<Argument>> ReadRecordRequest::args() const {
  FieldWriter w("ReadRecord request");
  w.u8(handle);
  w.u8(0);
  if (byId) {
    w.be32(recordId);
  } else {
    w.be16(index);
  }
  w.be16(offset);
  w.be16(count);
  return oneArgument(w, byId ? kArg0 : kArg1);
}

Result<ReadRecordRequest> ReadRecordRequest::parse(const std::vector<Argument>& args) {
  ReadRecordRequest q;
  const Argument* a = findArgument(args, kArg1);
  q.byId = a == nullptr;
  if (q.byId) a = findArgument(args, kArg0);
  if (a == nullptr) {
    return makeError(ErrorCode::MissingArgument,
                     "ReadRecord request: neither argument 0x21 (by index) nor 0x20 (by id)");
  }
  FieldReader r(a->data, q.byId ? "ReadRecord request by id" : "ReadRecord request by index");
  q.handle = r.u8("handle");
  r.u8("reserved");
  if (q.byId) {
    q.recordId = r.be32("record id");
  } else {
    q.index = r.be16("index");
  }
  q.offset = r.be16("offset");
  q.count = r.be16("count");
  return finished(r, q);
}

std::string ReadRecordRequest::summary() const {
  return "handle=" + std::to_string(handle) +
         (byId ? " id=" + hex(recordId, 6) : " index=" + std::to_string(index)) +
         " offset=" + std::to_string(offset) + " count=" + std::to_string(count);
}

Result<std::vector<Argument>> Record::args() const {
  FieldWriter w("ReadRecord answer");
  w.be32(recordId);
  w.be16(index);
  w.be16(recordSize);
  w.u8(attributes);
  w.u8(category);
  w.bytes(data);
  return oneArgument(w);
}

Result<Record> Record::parse(const std::vector<Argument>& args) {
  auto a = required(args, kArg0, kFunction, "answer");
  if (!a) return a.error();
  FieldReader r(*a, "ReadRecord answer");
  Record c;
  c.recordId = r.be32("record id");
  c.index = r.be16("index");
  c.recordSize = r.be16("record size");
  c.attributes = r.u8("attributes");
  c.category = r.u8("category");
  ByteView d = r.rest();
  c.data.assign(d.begin(), d.end());
  return finished(r, std::move(c));
}

std::string Record::summary() const {
  return "id=" + hex(recordId, 6) + " index=" + std::to_string(index) +
         " size=" + std::to_string(recordSize) + " attr=" + hex(attributes) +
         " category=" + std::to_string(category) + ", " + std::to_string(data.size()) + " bytes";
}

Result<std::vector<Argument>> WriteRecordRequest::args() const {
  FieldWriter w("WriteRecord request");
  w.u8(handle);
  w.u8(flags);
  w.be32(recordId);
  w.u8(attributes);
  w.u8(category);
  w.bytes(data);
  return oneArgument(w);
}

Result<WriteRecordRequest> WriteRecordRequest::parse(const std::vector<Argument>& args) {
  auto a = required(args, kArg0, kFunction, "request");
  if (!a) return a.error();
  FieldReader r(*a, "WriteRecord request");
  WriteRecordRequest q;
  q.handle = r.u8("handle");
  q.flags = r.u8("flags");
  q.recordId = r.be32("record id");
  q.attributes = r.u8("attributes");
  q.category = r.u8("category");
  ByteView d = r.rest();
  q.data.assign(d.begin(), d.end());
  return finished(r, std::move(q));
}

std::string WriteRecordRequest::summary() const {
  return "handle=" + std::to_string(handle) + " id=" + hex(recordId, 6) +
         " attr=" + hex(attributes) + " category=" + std::to_string(category) + ", " +
         std::to_string(data.size()) + " bytes";
}

Result<std::vector<Argument>> WriteRecordAnswer::args() const {
  FieldWriter w("WriteRecord answer");
  w.be32(recordId);
  return oneArgument(w);
}

Result<WriteRecordAnswer> WriteRecordAnswer::parse(const std::vector<Argument>& args) {
  auto a = required(args, kArg0, kFunction, "answer");
  if (!a) return a.error();
  FieldReader r(*a, "WriteRecord answer");
  WriteRecordAnswer w{r.be32("record id")};
  return finished(r, w);
}

std::string WriteRecordAnswer::summary() const {
  return "id=" + hex(recordId, 6);
}

Result<std::vector<Argument>> WriteResourceRequest::args() const {
  FieldWriter w("WriteResource request");
  w.u8(handle);
  w.u8(0);
  w.be32(type);
  w.be16(id);
  w.be16(static_cast<uint16_t>(w.length(data.size(), 0xFFFF, "resource size")));
  w.bytes(data);
  return oneArgument(w);
}

Result<WriteResourceRequest> WriteResourceRequest::parse(const std::vector<Argument>& args) {
  auto a = required(args, kArg0, kFunction, "request");
  if (!a) return a.error();
  FieldReader r(*a, "WriteResource request");
  WriteResourceRequest q;
  q.handle = r.u8("handle");
  r.u8("reserved");
  q.type = r.be32("type");
  q.id = r.be16("id");
  uint16_t size = r.be16("size");
  ByteView d = r.bytes(size, "resource");
  q.data.assign(d.begin(), d.end());
  return finished(r, std::move(q));
}

std::string WriteResourceRequest::summary() const {
  return "handle=" + std::to_string(handle) + " " + fourcc(type) + " " + std::to_string(id) + ", " +
         std::to_string(data.size()) + " bytes";
}

// ---- Session ------------------------------------------------------------------------------

Result<std::vector<Argument>> AddSyncLogEntryRequest::args() const {
  FieldWriter w("AddSyncLogEntry request");
  w.cstring(text, "text");
  return oneArgument(w);
}

Result<AddSyncLogEntryRequest> AddSyncLogEntryRequest::parse(const std::vector<Argument>& args) {
  auto a = required(args, kArg0, kFunction, "request");
  if (!a) return a.error();
  FieldReader r(*a, "AddSyncLogEntry request");
  AddSyncLogEntryRequest q{r.cstring("text")};
  return finished(r, std::move(q));
}

std::string AddSyncLogEntryRequest::summary() const {
  return quoted(text.size() > 40 ? text.substr(0, 40) + "..." : text);
}

Result<std::vector<Argument>> ReadOpenDbInfoRequest::args() const {
  return handleArgs(handle, "ReadOpenDBInfo request");
}

Result<ReadOpenDbInfoRequest> ReadOpenDbInfoRequest::parse(const std::vector<Argument>& args) {
  auto h = parseHandle(args, kFunction, "request", "ReadOpenDBInfo request");
  if (!h) return h.error();
  return ReadOpenDbInfoRequest{*h};
}

std::string ReadOpenDbInfoRequest::summary() const {
  return "handle=" + std::to_string(handle);
}

Result<std::vector<Argument>> OpenDbInfo::args() const {
  FieldWriter w("ReadOpenDBInfo answer");
  w.be16(recordCount);
  return oneArgument(w);
}

Result<OpenDbInfo> OpenDbInfo::parse(const std::vector<Argument>& args) {
  auto a = required(args, kArg0, kFunction, "answer");
  if (!a) return a.error();
  FieldReader r(*a, "ReadOpenDBInfo answer");
  OpenDbInfo i{r.be16("record count")};
  return finished(r, i);
}

std::string OpenDbInfo::summary() const {
  return std::to_string(recordCount) + " records";
}

Result<std::vector<Argument>> EndOfSyncRequest::args() const {
  FieldWriter w("EndOfSync request");
  w.be16(status);
  return oneArgument(w);
}

Result<EndOfSyncRequest> EndOfSyncRequest::parse(const std::vector<Argument>& args) {
  auto a = required(args, kArg0, kFunction, "request");
  if (!a) return a.error();
  FieldReader r(*a, "EndOfSync request");
  EndOfSyncRequest q{r.be16("status")};
  return finished(r, q);
}

std::string EndOfSyncRequest::summary() const {
  return "status=" + std::to_string(status);
}

// ---- FindDB -------------------------------------------------------------------------------

Result<std::vector<Argument>> FindDbRequest::args() const {
  FieldWriter w("FindDB request");
  w.u8(options);
  switch (by) {
    case By::Name:
      w.u8(card);
      w.cstring(name, "name");
      return oneArgument(w, kArg0);
    case By::Handle:
      w.u8(handle);
      return oneArgument(w, kArg1);
    default:
      w.u8(searchFlags);
      w.be32(type);
      w.be32(creator);
      return oneArgument(w, kArg2);
  }
}

Result<FindDbRequest> FindDbRequest::parse(const std::vector<Argument>& args) {
  FindDbRequest q;
  const Argument* a = findArgument(args, kArg0);
  if (a) {
    q.by = By::Name;
  } else if ((a = findArgument(args, kArg1))) {
    q.by = By::Handle;
  } else if ((a = findArgument(args, kArg2))) {
    q.by = By::TypeCreator;
  } else {
    return makeError(ErrorCode::MissingArgument,
                     "FindDB request: none of the arguments 0x20, 0x21 and 0x22");
  }
  FieldReader r(a->data, "FindDB request");
  q.options = r.u8("options");
  switch (q.by) {
    case By::Name:
      q.card = r.u8("card");
      q.name = r.cstring("name");
      break;
    case By::Handle:
      q.handle = r.u8("handle");
      break;
    default:
      q.searchFlags = r.u8("search flags");
      q.type = r.be32("type");
      q.creator = r.be32("creator");
      break;
  }
  return finished(r, std::move(q));
}

std::string FindDbRequest::summary() const {
  std::string s = "options=" + hex(options) + " ";
  switch (by) {
    case By::Name:
      return s + "name=" + quoted(name) + " card=" + std::to_string(card);
    case By::Handle:
      return s + "handle=" + std::to_string(handle);
    default:
      return s + "search=" + hex(searchFlags) + " " + fourcc(type) + "/" + fourcc(creator);
  }
}

Result<std::vector<Argument>> FindDbAnswer::args() const {
  std::vector<Argument> out;
  if (found) {
    FieldWriter w("FindDB answer");
    w.u8(found->card);
    w.u8(0);
    w.be32(found->localId);
    w.be32(found->openRef);
    if (found->info) writeDbInfo(w, *found->info);
    auto a = oneArgument(w, kArg0);
    if (!a) return a.error();
    out.push_back(std::move(a->front()));
  }
  if (sizes) {
    FieldWriter w("FindDB answer");
    w.be32(sizes->recordCount);
    w.be32(sizes->totalBytes);
    w.be32(sizes->dataBytes);
    w.be32(sizes->appInfoSize);
    w.be32(sizes->sortInfoSize);
    w.be32(sizes->largestRecord);
    out.push_back(Argument{kArg1, w.take(), Wrapper::Auto});
  }
  return out;
}

Result<FindDbAnswer> FindDbAnswer::parse(const std::vector<Argument>& args) {
  FindDbAnswer f;
  if (const Argument* a = findArgument(args, kArg0)) {
    FieldReader r(a->data, "FindDB answer");
    Found d;
    d.card = r.u8("card");
    r.u8("reserved");
    d.localId = r.be32("local id");
    d.openRef = r.be32("open ref");
    if (r.left() > 0) d.info = readDbInfo(r);
    if (auto e = r.finish()) return *e;
    f.found = std::move(d);
  }
  if (const Argument* a = findArgument(args, kArg1)) {
    FieldReader r(a->data, "FindDB answer, sizes");
    Sizes s;
    s.recordCount = r.be32("record count");
    s.totalBytes = r.be32("total bytes");
    s.dataBytes = r.be32("data bytes");
    s.appInfoSize = r.be32("app-info size");
    s.sortInfoSize = r.be32("sort-info size");
    s.largestRecord = r.be32("largest record");
    if (auto e = r.finish()) return *e;
    f.sizes = s;
  }
  return f;
}

std::string FindDbAnswer::summary() const {
  std::string s;
  if (found) {
    s = "card=" + std::to_string(found->card) + " local id=" + hex(found->localId, 8);
    if (found->info) s += " " + dbInfoText(*found->info);
  }
  if (sizes) {
    if (!s.empty()) s += ", ";
    s += std::to_string(sizes->recordCount) + " records, " + std::to_string(sizes->totalBytes) +
         " bytes";
  }
  return s;
}

}  // namespace lumora::link::dlp
