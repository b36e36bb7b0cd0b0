#include "hotsync/link/dlp_functions.h"

#include <concepts>
#include <cstdio>
#include <iterator>
#include <type_traits>

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

Result<ByteView> required(const std::vector<Argument>& args, uint8_t id, uint8_t function,
                          const char* kind) {
  const Argument* a = findArgument(args, id);
  if (!a) {
    return makeError(ErrorCode::MissingArgument,
                     what(function, kind) + ": argument " + hex(id) + " is missing");
  }
  return ByteView(a->data);
}

// A message's fields are described once, by a `fields(io, message)` overload below; the
// encoder runs the description to write the bytes and the decoder to read them back. Where
// earlier logs name a field differently when reading, the second name is the reader's.

class Encoder {
 public:
  explicit Encoder(std::string what) : w_(std::move(what)) {}

  void u8(uint8_t v, const char*) { w_.u8(v); }
  void be16(uint16_t v, const char*) { w_.be16(v); }
  void be32(uint32_t v, const char*) { w_.be32(v); }
  void date(const Date& d, const char*) { w_.date(d); }
  void reserved8(const char*) { w_.u8(0); }
  void cstring(const std::string& s, const char* field, const char* = nullptr) {
    w_.cstring(s, field);
  }
  // A length or count field, written from the length `n` of what follows.
  uint8_t length8(size_t n, const char* field, const char* = nullptr) {
    auto v = static_cast<uint8_t>(w_.length(n, 0xFF, field));
    w_.u8(v);
    return v;
  }
  uint16_t length16(size_t n, const char* field, const char* = nullptr) {
    auto v = static_cast<uint16_t>(w_.length(n, 0xFFFF, field));
    w_.be16(v);
    return v;
  }
  // Text in `n` bytes with its zero; nothing when empty.
  void sizedCString(const std::string& s, size_t, const char* field) {
    if (!s.empty()) w_.cstring(s, field);
  }
  void bytes(const Bytes& b, size_t, const char*) { w_.bytes(b); }
  void rest(const Bytes& b) { w_.bytes(b); }
  template <class T, class F>
  void list(const std::vector<T>& items, size_t, F&& each) {
    for (const T& item : items) each(item);
  }
  // Present when the writer has it, when the reader has bytes left.
  template <class T, class F>
  void optional(const std::optional<T>& item, F&& each) {
    if (item) each(*item);
  }

  FieldWriter& writer() { return w_; }
  Result<std::vector<Argument>> argument(uint8_t id) {
    if (auto e = w_.error()) return *e;
    return std::vector<Argument>{Argument{id, w_.take(), Wrapper::Auto}};
  }

 private:
  FieldWriter w_;
};

class Decoder {
 public:
  Decoder(ByteView data, std::string what) : r_(data, std::move(what)) {}

  void u8(uint8_t& v, const char* field) { v = r_.u8(field); }
  void be16(uint16_t& v, const char* field) { v = r_.be16(field); }
  void be32(uint32_t& v, const char* field) { v = r_.be32(field); }
  void date(Date& d, const char* field) { d = r_.date(field); }
  void reserved8(const char* field) { r_.u8(field); }
  void cstring(std::string& s, const char* field, const char* readField = nullptr) {
    s = r_.cstring(readField ? readField : field);
  }
  uint8_t length8(size_t, const char* field, const char* readField = nullptr) {
    return r_.u8(readField ? readField : field);
  }
  uint16_t length16(size_t, const char* field, const char* readField = nullptr) {
    return r_.be16(readField ? readField : field);
  }
  void sizedCString(std::string& s, size_t n, const char* field) { s = r_.sizedCString(n, field); }
  void bytes(Bytes& b, size_t n, const char* field) {
    ByteView v = r_.bytes(n, field);
    b.assign(v.begin(), v.end());
  }
  void rest(Bytes& b) {
    ByteView v = r_.rest();
    b.assign(v.begin(), v.end());
  }
  template <class T, class F>
  void list(std::vector<T>& items, size_t count, F&& each) {
    for (size_t i = 0; i < count && !r_.failed(); ++i) each(items.emplace_back());
  }
  template <class T, class F>
  void optional(std::optional<T>& item, F&& each) {
    if (r_.left() > 0) each(item.emplace());
  }

  FieldReader& reader() { return r_; }
  template <class T>
  Result<T> finished(T value) {
    if (auto e = r_.finish()) return *e;
    return value;
  }

 private:
  FieldReader r_;
};

// `M` is the message type `T`, const when encoding.
template <class M, class... T>
concept Is = (std::same_as<std::remove_const_t<M>, T> || ...);

template <class IO, Is<DbInfo> M>
void fields(IO& io, M& d) {
  io.u8(d.miscFlags, "misc flags");
  io.be16(d.attributes, "attributes");
  io.be32(d.type, "type");
  io.be32(d.creator, "creator");
  io.be16(d.version, "version");
  io.be32(d.modificationNumber, "modification number");
  io.date(d.created, "creation date");
  io.date(d.modified, "modification date");
  io.date(d.backedUp, "backup date");
  io.be16(d.index, "index");
  io.cstring(d.name, "database name", "name");
}

// One database info, led by its size and padded to an even size.
void dbInfo(Encoder& io, const DbInfo& d) {
  FieldWriter& w = io.writer();
  size_t size = kDbInfoHeaderSize + d.name.size() + 1;
  size += size % 2;
  w.u8(static_cast<uint8_t>(w.length(size, 0xFF, "database info size")));
  fields(io, d);
  if ((kDbInfoHeaderSize + d.name.size() + 1) % 2) w.u8(0);
}

// One database info of the size its first byte gives; the padding after the name is skipped.
void dbInfo(Decoder& io, DbInfo& d) {
  FieldReader& outer = io.reader();
  size_t size = outer.u8("database info size");
  if (outer.failed()) return;
  if (size < kDbInfoHeaderSize + 1) {
    outer.fail(ErrorCode::BadValue, "database info size " + std::to_string(size) +
                                        " is below the " + std::to_string(kDbInfoHeaderSize + 1) +
                                        " bytes of its header and name");
    return;
  }
  ByteView entry = outer.bytes(size - 1, "database info");
  if (outer.failed()) return;
  Decoder inner(entry, "database info");
  fields(inner, d);
  if (inner.reader().failed()) {
    if (auto e = inner.reader().finish()) outer.fail(e->code, e->message);
  }
}

template <class IO, Is<UserInfo> M>
void fields(IO& io, M& u) {
  io.be32(u.userId, "user id");
  io.be32(u.viewerId, "viewer id");
  io.be32(u.lastSyncPc, "last sync PC");
  io.date(u.lastSuccessfulSync, "last successful sync");
  io.date(u.lastSync, "last sync");
  size_t nameLength = io.length8(u.name.empty() ? 0 : u.name.size() + 1, "name length");
  size_t passwordLength = io.length8(u.password.size(), "password length");
  io.sizedCString(u.name, nameLength, "name");
  io.bytes(u.password, passwordLength, "password");
}

template <class IO, Is<WriteUserInfoRequest> M>
void fields(IO& io, M& q) {
  io.be32(q.userId, "user id");
  io.be32(q.viewerId, "viewer id");
  io.be32(q.lastSyncPc, "last sync PC");
  io.date(q.lastSync, "last sync");
  io.u8(q.modFlags, "flags");
  size_t nameLength = io.length8(q.name.empty() ? 0 : q.name.size() + 1, "name length");
  io.sizedCString(q.name, nameLength, "name");
}

template <class IO, Is<ReadSysInfoRequest> M>
void fields(IO& io, M& q) {
  io.be16(q.hostMajor, "host DLP major");
  io.be16(q.hostMinor, "host DLP minor");
}

template <class IO, Is<SysInfo> M>
void fields(IO& io, M& s) {
  io.be32(s.romVersion, "ROM version");
  io.be32(s.locale, "locale");
  io.reserved8("reserved");
  size_t idLength = io.length8(s.productId.size(), "product id length");
  io.bytes(s.productId, idLength, "product id");
}

template <class IO, Is<SysInfo::Dlp> M>
void fields(IO& io, M& d) {
  io.be16(d.major, "DLP major");
  io.be16(d.minor, "DLP minor");
  io.be16(d.compatMajor, "compatible major");
  io.be16(d.compatMinor, "compatible minor");
  io.be32(d.largestRecord, "largest record");
}

template <class IO, Is<ReadDbListRequest> M>
void fields(IO& io, M& q) {
  io.u8(q.flags, "flags");
  io.u8(q.card, "card");
  io.be16(q.start, "start index");
}

template <class IO, Is<DbList> M>
void fields(IO& io, M& l) {
  io.be16(l.lastIndex, "last index");
  io.u8(l.flags, "flags");
  size_t count = io.length8(l.databases.size(), "database count", "count");
  io.list(l.databases, count, [&](auto& d) { dbInfo(io, d); });
}

template <class IO, Is<OpenDbRequest> M>
void fields(IO& io, M& q) {
  io.u8(q.card, "card");
  io.u8(q.mode, "mode");
  io.cstring(q.name, "name");
}

template <class IO, Is<OpenDbAnswer, CreateDbAnswer, CloseDbRequest, ReadOpenDbInfoRequest> M>
void fields(IO& io, M& m) {
  io.u8(m.handle, "handle");
}

template <class IO, Is<CreateDbRequest> M>
void fields(IO& io, M& q) {
  io.be32(q.creator, "creator");
  io.be32(q.type, "type");
  io.u8(q.card, "card");
  io.reserved8("reserved");
  io.be16(q.flags, "flags");
  io.be16(q.version, "version");
  io.cstring(q.name, "name");
}

template <class IO, Is<DeleteDbRequest> M>
void fields(IO& io, M& q) {
  io.u8(q.card, "card");
  io.reserved8("reserved");
  io.cstring(q.name, "name");
}

template <class IO, Is<ReadAppBlockRequest> M>
void fields(IO& io, M& q) {
  io.u8(q.handle, "handle");
  io.reserved8("reserved");
  io.be16(q.offset, "offset");
  io.be16(q.count, "count");
}

template <class IO, Is<AppBlock> M>
void fields(IO& io, M& b) {
  io.be16(b.blockSize, "block size");
  io.rest(b.data);
}

template <class IO, Is<WriteAppBlockRequest> M>
void fields(IO& io, M& q) {
  io.u8(q.handle, "handle");
  io.reserved8("reserved");
  size_t size = io.length16(q.data.size(), "block size");
  io.bytes(q.data, size, "block");
}

// By id or by index, as `byId` says.
template <class IO, Is<ReadRecordRequest> M>
void fields(IO& io, M& q) {
  io.u8(q.handle, "handle");
  io.reserved8("reserved");
  if (q.byId) {
    io.be32(q.recordId, "record id");
  } else {
    io.be16(q.index, "index");
  }
  io.be16(q.offset, "offset");
  io.be16(q.count, "count");
}

template <class IO, Is<Record> M>
void fields(IO& io, M& c) {
  io.be32(c.recordId, "record id");
  io.be16(c.index, "index");
  io.be16(c.recordSize, "record size");
  io.u8(c.attributes, "attributes");
  io.u8(c.category, "category");
  io.rest(c.data);
}

template <class IO, Is<WriteRecordRequest> M>
void fields(IO& io, M& q) {
  io.u8(q.handle, "handle");
  io.u8(q.flags, "flags");
  io.be32(q.recordId, "record id");
  io.u8(q.attributes, "attributes");
  io.u8(q.category, "category");
  io.rest(q.data);
}

template <class IO, Is<WriteRecordAnswer> M>
void fields(IO& io, M& w) {
  io.be32(w.recordId, "record id");
}

template <class IO, Is<WriteResourceRequest> M>
void fields(IO& io, M& q) {
  io.u8(q.handle, "handle");
  io.reserved8("reserved");
  io.be32(q.type, "type");
  io.be16(q.id, "id");
  size_t size = io.length16(q.data.size(), "resource size", "size");
  io.bytes(q.data, size, "resource");
}

template <class IO, Is<AddSyncLogEntryRequest> M>
void fields(IO& io, M& q) {
  io.cstring(q.text, "text");
}

template <class IO, Is<OpenDbInfo> M>
void fields(IO& io, M& i) {
  io.be16(i.recordCount, "record count");
}

template <class IO, Is<EndOfSyncRequest> M>
void fields(IO& io, M& q) {
  io.be16(q.status, "status");
}

// By name, open handle or type and creator, as `by` says.
template <class IO, Is<FindDbRequest> M>
void fields(IO& io, M& q) {
  io.u8(q.options, "options");
  switch (q.by) {
    case FindDbRequest::By::Name:
      io.u8(q.card, "card");
      io.cstring(q.name, "name");
      break;
    case FindDbRequest::By::Handle:
      io.u8(q.handle, "handle");
      break;
    default:
      io.u8(q.searchFlags, "search flags");
      io.be32(q.type, "type");
      io.be32(q.creator, "creator");
      break;
  }
}

template <class IO, Is<FindDbAnswer::Found> M>
void fields(IO& io, M& d) {
  io.u8(d.card, "card");
  io.reserved8("reserved");
  io.be32(d.localId, "local id");
  io.be32(d.openRef, "open ref");
  io.optional(d.info, [&](auto& info) { dbInfo(io, info); });
}

template <class IO, Is<FindDbAnswer::Sizes> M>
void fields(IO& io, M& s) {
  io.be32(s.recordCount, "record count");
  io.be32(s.totalBytes, "total bytes");
  io.be32(s.dataBytes, "data bytes");
  io.be32(s.appInfoSize, "app-info size");
  io.be32(s.sortInfoSize, "sort-info size");
  io.be32(s.largestRecord, "largest record");
}

// The fields of `m` as argument `id`; `what` names the message in errors.
template <class M>
Result<std::vector<Argument>> encode(const M& m, const std::string& what, uint8_t id = kArg0) {
  Encoder io(what);
  fields(io, m);
  return io.argument(id);
}

template <class M>
Result<M> decode(ByteView data, const std::string& what, M m = {}) {
  Decoder io(data, what);
  fields(io, m);
  return io.finished(std::move(m));
}

// A message whose fields are all in argument 0x20.
template <class M>
Result<std::vector<Argument>> encodeMessage(const M& m, const char* kind) {
  return encode(m, what(M::kFunction, kind));
}

template <class M>
Result<M> decodeMessage(const std::vector<Argument>& args, const char* kind) {
  auto a = required(args, kArg0, M::kFunction, kind);
  if (!a) return a.error();
  return decode<M>(*a, what(M::kFunction, kind));
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

// ---- Messages whose fields are all in argument 0x20 ----------------------------------------

#define LUMORA_DLP_ONE_ARGUMENT(Type, kind)                     \
  Result<std::vector<Argument>> Type::args() const {            \
    return encodeMessage(*this, kind);                          \
  }                                                             \
  Result<Type> Type::parse(const std::vector<Argument>& args) { \
    return decodeMessage<Type>(args, kind);                     \
  }

LUMORA_DLP_ONE_ARGUMENT(UserInfo, "answer")
LUMORA_DLP_ONE_ARGUMENT(WriteUserInfoRequest, "request")
LUMORA_DLP_ONE_ARGUMENT(ReadDbListRequest, "request")
LUMORA_DLP_ONE_ARGUMENT(DbList, "answer")
LUMORA_DLP_ONE_ARGUMENT(OpenDbRequest, "request")
LUMORA_DLP_ONE_ARGUMENT(OpenDbAnswer, "answer")
LUMORA_DLP_ONE_ARGUMENT(CreateDbRequest, "request")
LUMORA_DLP_ONE_ARGUMENT(CreateDbAnswer, "answer")
LUMORA_DLP_ONE_ARGUMENT(DeleteDbRequest, "request")
LUMORA_DLP_ONE_ARGUMENT(ReadAppBlockRequest, "request")
LUMORA_DLP_ONE_ARGUMENT(AppBlock, "answer")
LUMORA_DLP_ONE_ARGUMENT(WriteAppBlockRequest, "request")
LUMORA_DLP_ONE_ARGUMENT(Record, "answer")
LUMORA_DLP_ONE_ARGUMENT(WriteRecordRequest, "request")
LUMORA_DLP_ONE_ARGUMENT(WriteRecordAnswer, "answer")
LUMORA_DLP_ONE_ARGUMENT(WriteResourceRequest, "request")
LUMORA_DLP_ONE_ARGUMENT(AddSyncLogEntryRequest, "request")
LUMORA_DLP_ONE_ARGUMENT(ReadOpenDbInfoRequest, "request")
LUMORA_DLP_ONE_ARGUMENT(OpenDbInfo, "answer")
LUMORA_DLP_ONE_ARGUMENT(EndOfSyncRequest, "request")

#undef LUMORA_DLP_ONE_ARGUMENT

// ---- Messages with optional or alternative arguments --------------------------------------

Result<std::vector<Argument>> ReadSysInfoRequest::args() const {
  if (!withHostVersion) return std::vector<Argument>{};
  return encodeMessage(*this, "request");
}

Result<ReadSysInfoRequest> ReadSysInfoRequest::parse(const std::vector<Argument>& args) {
  const Argument* a = findArgument(args, kArg0);
  if (!a) return ReadSysInfoRequest{false, 0, 0};
  return decode<ReadSysInfoRequest>(a->data, "ReadSysInfo request");
}

Result<std::vector<Argument>> SysInfo::args() const {
  auto first = encodeMessage(*this, "answer");
  if (!first || !dlp) return first;
  auto second = encode(*dlp, "ReadSysInfo answer", kArg1);
  if (!second) return second.error();
  first->push_back(std::move(second->front()));
  return first;
}

Result<SysInfo> SysInfo::parse(const std::vector<Argument>& args) {
  auto s = decodeMessage<SysInfo>(args, "answer");
  if (!s) return s;
  if (const Argument* b = findArgument(args, kArg1)) {
    auto d = decode<Dlp>(b->data, "ReadSysInfo answer, DLP version");
    if (!d) return d.error();
    s->dlp = *d;
  }
  return s;
}

Result<std::vector<Argument>> CloseDbRequest::args() const {
  if (all) return std::vector<Argument>{Argument{kArg1, {}, Wrapper::Auto}};
  return encodeMessage(*this, "request");
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
  return decodeMessage<CloseDbRequest>(args, "request");
}

Result<std::vector<Argument>> ReadRecordRequest::args() const {
  return encode(*this, "ReadRecord request", byId ? kArg0 : kArg1);
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
  return decode(a->data, q.byId ? "ReadRecord request by id" : "ReadRecord request by index", q);
}

Result<std::vector<Argument>> FindDbRequest::args() const {
  uint8_t id = by == By::Name ? kArg0 : by == By::Handle ? kArg1 : kArg2;
  return encode(*this, "FindDB request", id);
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
  return decode(a->data, "FindDB request", std::move(q));
}

Result<std::vector<Argument>> FindDbAnswer::args() const {
  std::vector<Argument> out;
  if (found) {
    auto a = encode(*found, "FindDB answer", kArg0);
    if (!a) return a.error();
    out.push_back(std::move(a->front()));
  }
  if (sizes) {
    auto a = encode(*sizes, "FindDB answer", kArg1);
    if (!a) return a.error();
    out.push_back(std::move(a->front()));
  }
  return out;
}

Result<FindDbAnswer> FindDbAnswer::parse(const std::vector<Argument>& args) {
  FindDbAnswer f;
  if (const Argument* a = findArgument(args, kArg0)) {
    auto d = decode<Found>(a->data, "FindDB answer");
    if (!d) return d.error();
    f.found = std::move(*d);
  }
  if (const Argument* a = findArgument(args, kArg1)) {
    auto s = decode<Sizes>(a->data, "FindDB answer, sizes");
    if (!s) return s.error();
    f.sizes = *s;
  }
  return f;
}

// ---- Summaries ----------------------------------------------------------------------------

std::string UserInfo::summary() const {
  return "user=" + quoted(name) + " id=" + std::to_string(userId) +
         " last sync=" + dateText(lastSync);
}

std::string WriteUserInfoRequest::summary() const {
  return "flags=" + hex(modFlags) + " user=" + quoted(name) + " last sync=" + dateText(lastSync);
}

std::string ReadSysInfoRequest::summary() const {
  if (!withHostVersion) return {};
  return "host DLP " + std::to_string(hostMajor) + "." + std::to_string(hostMinor);
}

std::string SysInfo::summary() const {
  std::string s = "ROM " + hex(romVersion, 8);
  if (dlp) {
    s += " DLP " + std::to_string(dlp->major) + "." + std::to_string(dlp->minor) +
         " largest record " + std::to_string(dlp->largestRecord);
  }
  return s;
}

std::string ReadDbListRequest::summary() const {
  return "flags=" + hex(flags) + " card=" + std::to_string(card) +
         " start=" + std::to_string(start);
}

std::string DbList::summary() const {
  std::string s = std::to_string(databases.size()) + " databases, last index " +
                  std::to_string(lastIndex) + ((flags & kMore) ? ", more" : "");
  if (!databases.empty()) s += ": " + dbInfoText(databases.front());
  if (databases.size() > 1) s += " ...";
  return s;
}

std::string OpenDbRequest::summary() const {
  return quoted(name) + " mode=" + hex(mode) + " card=" + std::to_string(card);
}

std::string OpenDbAnswer::summary() const {
  return "handle=" + std::to_string(handle);
}

std::string CreateDbRequest::summary() const {
  return quoted(name) + " " + fourcc(type) + "/" + fourcc(creator) + " flags=" + hex(flags, 4) +
         " v" + std::to_string(version) + " card=" + std::to_string(card);
}

std::string CreateDbAnswer::summary() const {
  return "handle=" + std::to_string(handle);
}

std::string CloseDbRequest::summary() const {
  return all ? "all" : "handle=" + std::to_string(handle);
}

std::string DeleteDbRequest::summary() const {
  return quoted(name) + " card=" + std::to_string(card);
}

std::string ReadAppBlockRequest::summary() const {
  return "handle=" + std::to_string(handle) + " offset=" + std::to_string(offset) +
         " count=" + (count == kToEnd ? std::string("all") : std::to_string(count));
}

std::string AppBlock::summary() const {
  return "block size=" + std::to_string(blockSize) + ", " + std::to_string(data.size()) + " bytes";
}

std::string WriteAppBlockRequest::summary() const {
  return "handle=" + std::to_string(handle) + ", " + std::to_string(data.size()) + " bytes";
}

std::string ReadRecordRequest::summary() const {
  return "handle=" + std::to_string(handle) +
         (byId ? " id=" + hex(recordId, 6) : " index=" + std::to_string(index)) +
         " offset=" + std::to_string(offset) + " count=" + std::to_string(count);
}

std::string Record::summary() const {
  return "id=" + hex(recordId, 6) + " index=" + std::to_string(index) +
         " size=" + std::to_string(recordSize) + " attr=" + hex(attributes) +
         " category=" + std::to_string(category) + ", " + std::to_string(data.size()) + " bytes";
}

std::string WriteRecordRequest::summary() const {
  return "handle=" + std::to_string(handle) + " id=" + hex(recordId, 6) +
         " attr=" + hex(attributes) + " category=" + std::to_string(category) + ", " +
         std::to_string(data.size()) + " bytes";
}

std::string WriteRecordAnswer::summary() const {
  return "id=" + hex(recordId, 6);
}

std::string WriteResourceRequest::summary() const {
  return "handle=" + std::to_string(handle) + " " + fourcc(type) + " " + std::to_string(id) + ", " +
         std::to_string(data.size()) + " bytes";
}

std::string AddSyncLogEntryRequest::summary() const {
  return quoted(text.size() > 40 ? text.substr(0, 40) + "..." : text);
}

std::string ReadOpenDbInfoRequest::summary() const {
  return "handle=" + std::to_string(handle);
}

std::string OpenDbInfo::summary() const {
  return std::to_string(recordCount) + " records";
}

std::string EndOfSyncRequest::summary() const {
  return "status=" + std::to_string(status);
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
