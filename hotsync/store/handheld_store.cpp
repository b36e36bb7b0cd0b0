#include "hotsync/store/handheld_store.h"

#include <algorithm>
#include <cstring>
#include <ctime>

#include "hotsync/format/handheld_clock.h"
#include "hotsync/format/names.h"
#include "platform/files/atomic_files.h"

namespace lumora::hotsync {
namespace {

constexpr uint8_t kRecordFlagBits = 0xF0;
constexpr uint8_t kCategoryBits = 0x0F;

uint32_t systemPalmTime() {
  return static_cast<uint32_t>(static_cast<uint64_t>(std::time(nullptr)) + kSecondsFrom1904To1970);
}

bool isDatabaseFileName(std::string_view name) {
  if (name.size() < 4) return false;
  std::string_view ext = name.substr(name.size() - 4);
  return ext[0] == '.' && (ext[1] | 0x20) == 'p' && (ext[2] | 0x20) == 'd' &&
         (ext[3] | 0x20) == 'b';
}

bool matches(uint32_t wanted, uint32_t actual) {
  return wanted == 0 || wanted == actual;
}

uint32_t firstFreeUniqueId(const Database& db) {
  uint32_t highest = 0;
  for (const PdbRecord& r : db.records) highest = std::max(highest, r.uniqueId);
  uint32_t next = highest + 1;
  // A seed beyond the IDs present is honoured, a broken one (beyond 24 bits) is not.
  if (db.uniqueIdSeed > next && db.uniqueIdSeed <= kMaxUniqueId) next = db.uniqueIdSeed;
  return next;
}

}  // namespace

HandheldStore::HandheldStore(std::string folder, Logger log, Clock clock)
    : folder_(std::move(folder)),
      log_(std::move(log)),
      clock_(clock ? std::move(clock) : Clock(systemPalmTime)) {
  scan();
}

void HandheldStore::scan() {
  auto names = files::listFolder(folder_);
  if (!names) {
    log_("HotSync: cannot read the handheld folder \"" + folder_ + "\".");
    return;
  }
  for (const std::string& fileName : *names) {
    // Temporary files end in ".tmp", so a half-written database is never taken up.
    if (!isDatabaseFileName(fileName)) continue;
    auto read = files::readFile(files::join(folder_, fileName), kMaxDatabaseBytes);
    std::string why = read.error;
    std::optional<Database> db;
    if (read.bytes) {
      auto parsed = parsePdb(*read.bytes);
      db = std::move(parsed.database);
      why = parsed.error;
    }
    if (db && entries_.count(db->name)) {
      // Of two files holding one name, the one named after it wins (a copy made by hand
      // is the one to ignore), else the first in name order.
      Entry& first = entries_[db->name];
      if (fileName == databaseFileName(db->name)) {
        keptFiles_.insert(first.fileName);
        log_("HotSync: skipped the handheld file \"" + first.fileName +
             "\": it holds the database \"" + db->name + "\" of the file \"" + fileName +
             "\" again.");
        first = Entry{fileName, summarize(*db), true, false};
        continue;
      }
      why =
          "it holds the database \"" + db->name + "\" of the file \"" + first.fileName + "\" again";
      db.reset();
    }
    if (!db) {
      keptFiles_.insert(fileName);
      log_("HotSync: skipped the handheld file \"" + fileName + "\": " + why + ".");
      continue;
    }
    db->attributes &= static_cast<uint16_t>(~kDbAttrOpen);
    std::string name = db->name;
    entries_[name] = Entry{fileName, summarize(*db), true, false};
  }
}

HandheldStore::Summary HandheldStore::summarize(const Database& db) {
  Summary s;
  s.name = db.name;
  s.attributes = db.attributes;
  s.version = db.version;
  s.type = db.type;
  s.creator = db.creator;
  s.recordCount = static_cast<uint32_t>(db.records.size());
  s.totalSize = static_cast<uint32_t>(serializedPdbSize(db));
  return s;
}

const HandheldStore::Handle* HandheldStore::findHandle(uint8_t handle) const {
  auto it = handles_.find(handle);
  return it == handles_.end() ? nullptr : &it->second;
}

HandheldStore::Handle* HandheldStore::findHandle(uint8_t handle) {
  auto it = handles_.find(handle);
  return it == handles_.end() ? nullptr : &it->second;
}

std::optional<uint8_t> HandheldStore::allocateHandle() const {
  if (handles_.size() >= kMaxOpenDatabases) return std::nullopt;
  // Handles go round 1..255 so that a stale handle rarely names a newer database.
  for (int step = 0; step < 255; ++step) {
    lastHandle_ = static_cast<uint8_t>(lastHandle_ % 255 + 1);
    if (!handles_.count(lastHandle_)) return lastHandle_;
  }
  return std::nullopt;
}

std::optional<std::string> HandheldStore::fileNameConflict(const std::string& fileName,
                                                           const std::string& dbName) const {
  if (keptFiles_.count(fileName))
    return "the file \"" + fileName + "\" cannot be read and is kept as it is";
  for (const auto& [name, entry] : entries_)
    if (name != dbName && entry.fileName == fileName)
      return "the file \"" + fileName + "\" holds the database \"" + name + "\"";
  if (!entries_.count(dbName) && files::exists(files::join(folder_, fileName)))
    return "the file \"" + fileName + "\" appeared during the HotSync";
  return std::nullopt;
}

int32_t HandheldStore::open(const char* name, int32_t card, uint8_t mode, uint8_t& handle) {
  auto dbName = nameFromText(name);
  if (!dbName || card != 0) return SYNC_ERR_BAD_ARG;
  if ((mode & (SYNC_MODE_READ | SYNC_MODE_WRITE)) == 0) return SYNC_ERR_BAD_ARG;
  auto it = entries_.find(*dbName);
  if (it == entries_.end()) return SYNC_ERR_NOT_FOUND;
  if (it->second.open) return SYNC_ERR_ALREADY_OPEN;
  auto h = allocateHandle();
  if (!h) return SYNC_ERR_TOO_MANY_OPEN;
  // Read the database now; a file changed or broken behind the store's back is refused.
  const std::string& fileName = it->second.fileName;
  auto read = files::readFile(files::join(folder_, fileName), kMaxDatabaseBytes);
  std::optional<Database> db;
  std::string why = read.error;
  if (read.bytes) {
    auto parsed = parsePdb(*read.bytes);
    db = std::move(parsed.database);
    why = parsed.error;
  }
  if (db && db->name != *dbName) {
    db.reset();
    why = "it no longer holds the database \"" + *dbName + "\"";
  }
  if (!db) {
    log_("HotSync: cannot open the handheld file \"" + fileName + "\": " + why + ".");
    return SYNC_ERR_STORAGE;
  }
  db->attributes &= static_cast<uint16_t>(~kDbAttrOpen);
  Handle state;
  state.name = *dbName;
  state.mode = mode;
  state.writable = (mode & SYNC_MODE_WRITE) != 0;
  state.db = std::move(*db);
  if (state.writable) state.nextUniqueId = firstFreeUniqueId(state.db);
  it->second.open = true;
  handles_[*h] = std::move(state);
  handle = *h;
  return SYNC_OK;
}

int32_t HandheldStore::create(const SyncCreateParams& params, uint8_t& handle) {
  auto dbName = nameFromField(params.name, sizeof params.name);
  if (!dbName || params.card != 0 || (params.flags & kDbAttrResource)) return SYNC_ERR_BAD_ARG;
  if (entries_.count(*dbName)) return SYNC_ERR_EXISTS;
  std::string fileName = databaseFileName(*dbName);
  if (auto conflict = fileNameConflict(fileName, *dbName)) {
    log_("HotSync: cannot create the database \"" + *dbName + "\": " + *conflict + ".");
    return SYNC_ERR_STORAGE;
  }
  auto h = allocateHandle();
  if (!h) return SYNC_ERR_TOO_MANY_OPEN;

  Database db;
  db.name = *dbName;
  db.attributes = static_cast<uint16_t>(params.flags & ~uint32_t{kDbAttrOpen});
  db.version = params.version;
  db.creationDate = db.modificationDate = clock_();
  db.type = params.type;
  db.creator = params.creator;
  Handle state;
  state.name = *dbName;
  state.mode = SYNC_MODE_READ | SYNC_MODE_WRITE;
  state.writable = true;
  state.created = true;
  state.dirty = true;
  entries_[*dbName] = Entry{fileName, summarize(db), false, true};
  state.db = std::move(db);
  handles_[*h] = std::move(state);
  handle = *h;
  return SYNC_OK;
}

bool HandheldStore::commit(Handle& h) {
  Entry& entry = entries_.at(h.name);
  Database& db = h.db;
  db.modificationDate = clock_();
  if (!h.created) ++db.modificationNumber;
  db.uniqueIdSeed = std::max(db.uniqueIdSeed, h.nextUniqueId);
  if (db.uniqueIdSeed > kMaxUniqueId) db.uniqueIdSeed = h.nextUniqueId;
  auto bytes = serializePdb(db);
  std::string path = files::join(folder_, entry.fileName);
  if (!bytes || !files::writeFileAtomic(path, *bytes, /*replace=*/entry.onDisk)) {
    log_("HotSync: could not write the handheld file \"" + entry.fileName + "\"; the database \"" +
         h.name + "\" keeps its previous state.");
    return false;
  }
  entry.summary = summarize(db);
  entry.onDisk = true;
  return true;
}

int32_t HandheldStore::close(uint8_t handle) {
  auto it = handles_.find(handle);
  if (it == handles_.end()) return SYNC_ERR_BAD_ARG;
  Handle h = std::move(it->second);
  handles_.erase(it);
  entries_.at(h.name).open = false;
  if (!h.writable || !h.dirty) return SYNC_OK;
  if (commit(h)) return SYNC_OK;
  if (h.created) entries_.erase(h.name);  // never reached the disk: it does not exist
  return SYNC_ERR_STORAGE;
}

int32_t HandheldStore::remove(const char* name, int32_t card) {
  auto dbName = nameFromText(name);
  if (!dbName || card != 0) return SYNC_ERR_BAD_ARG;
  auto it = entries_.find(*dbName);
  if (it == entries_.end()) return SYNC_ERR_NOT_FOUND;
  if (it->second.open) return SYNC_ERR_ALREADY_OPEN;
  std::string path = files::join(folder_, it->second.fileName);
  if (it->second.onDisk && !files::removeFile(path) && files::exists(path)) return SYNC_ERR_STORAGE;
  entries_.erase(it);
  return SYNC_OK;
}

int32_t HandheldStore::readRecordByIndex(SyncRawRecordInfo& info) {
  const Handle* h = findHandle(info.handle);
  if (!h) return SYNC_ERR_BAD_ARG;
  if (!info.bytes && info.bufferCapacity > 0) return SYNC_ERR_BAD_ARG;
  const Database& db = h->db;
  if (info.recordIndex >= db.records.size()) return SYNC_ERR_NO_RECORD;
  const PdbRecord& r = db.records[info.recordIndex];
  size_t stored = std::min<size_t>(r.data.size(), info.bufferCapacity);
  if (stored > 0) std::memcpy(info.bytes, r.data.data(), stored);
  info.recordId = r.uniqueId;
  info.attributes = r.attributes & kRecordFlagBits;
  info.category = r.attributes & kCategoryBits;
  info.recordSize = static_cast<uint32_t>(r.data.size());
  return SYNC_OK;
}

int32_t HandheldStore::writeRecord(SyncRawRecordInfo& info) {
  Handle* h = findHandle(info.handle);
  if (!h) return SYNC_ERR_BAD_ARG;
  if (!h->writable) return SYNC_ERR_READ_ONLY;
  if (info.recordSize > kMaxRecordSize) return SYNC_ERR_TOO_LARGE;
  if ((!info.bytes && info.recordSize > 0) || info.category > kCategoryBits ||
      info.recordId > kMaxUniqueId)
    return SYNC_ERR_BAD_ARG;
  Database& db = h->db;
  PdbRecord record;
  record.attributes = static_cast<uint8_t>((info.attributes & kRecordFlagBits) | info.category);
  record.data.assign(info.bytes, info.bytes + info.recordSize);

  if (info.recordId != 0) {
    auto it = std::find_if(db.records.begin(), db.records.end(),
                           [&](const PdbRecord& r) { return r.uniqueId == info.recordId; });
    if (it == db.records.end()) return SYNC_ERR_NO_RECORD;
    if (serializedPdbSize(db) - it->data.size() + record.data.size() > kMaxDatabaseBytes)
      return SYNC_ERR_STORAGE;
    record.uniqueId = info.recordId;
    *it = std::move(record);
    h->dirty = true;
    return SYNC_OK;
  }
  if (db.records.size() >= 0xFFFF || h->nextUniqueId > kMaxUniqueId ||
      serializedPdbSize(db) + kPdbRecordEntrySize + record.data.size() > kMaxDatabaseBytes)
    return SYNC_ERR_STORAGE;
  record.uniqueId = h->nextUniqueId++;
  info.recordId = record.uniqueId;
  db.records.push_back(std::move(record));
  h->dirty = true;
  return SYNC_OK;
}

int32_t HandheldStore::readAppInfo(uint8_t handle, SyncAppInfoRequest& request) {
  const Handle* h = findHandle(handle);
  if (!h) return SYNC_ERR_BAD_ARG;
  if (!request.bytes && request.bufferSize > 0) return SYNC_ERR_BAD_ARG;
  const Database& db = h->db;
  if (!db.appInfo) return SYNC_ERR_NO_APP_INFO;
  size_t stored = std::min<size_t>(db.appInfo->size(), request.bufferSize);
  if (stored > 0) std::memcpy(request.bytes, db.appInfo->data(), stored);
  request.blockSize = static_cast<uint16_t>(std::min<size_t>(db.appInfo->size(), 0xFFFF));
  return SYNC_OK;
}

int32_t HandheldStore::writeAppInfo(uint8_t handle, const SyncAppInfoRequest& request) {
  Handle* h = findHandle(handle);
  if (!h) return SYNC_ERR_BAD_ARG;
  if (!h->writable) return SYNC_ERR_READ_ONLY;
  if (request.bufferSize > kMaxRecordSize) return SYNC_ERR_TOO_LARGE;
  if (!request.bytes && request.bufferSize > 0) return SYNC_ERR_BAD_ARG;
  Database& db = h->db;
  // An empty block is no block: the file then has no app-info offset at all.
  if (request.bufferSize == 0)
    db.appInfo.reset();
  else
    db.appInfo = Bytes(request.bytes, request.bytes + request.bufferSize);
  h->dirty = true;
  return SYNC_OK;
}

void HandheldStore::fillInfo(const Summary& db, SyncDbInfo& info) const {
  info.card = 0;
  info.attributes = db.attributes;
  info.version = db.version;
  info.type = db.type;
  info.creator = db.creator;
  info.recordCount = db.recordCount;
  info.totalSize = db.totalSize;
  std::memset(info.name, 0, sizeof info.name);
  std::memcpy(info.name, db.name.data(), std::min(db.name.size(), sizeof info.name - 1));
}

int32_t HandheldStore::findByTypeCreator(const SyncSearchTypeCreator& search, SyncDbInfo& info) {
  if (search.searchFlags & SYNC_SEARCH_NEW) cursor_.reset();
  auto it = cursor_ ? entries_.upper_bound(*cursor_) : entries_.begin();
  for (; it != entries_.end(); ++it) {
    const Summary& db = it->second.summary;
    if (!matches(search.type, db.type) || !matches(search.creator, db.creator)) continue;
    cursor_ = it->first;
    fillInfo(db, info);
    return SYNC_OK;
  }
  return SYNC_ERR_NO_MORE;
}

int32_t HandheldStore::findByName(const SyncSearchName& search, SyncDbInfo& info) {
  auto dbName = nameFromText(search.name);
  if (!dbName || search.card != 0) return SYNC_ERR_BAD_ARG;
  auto it = entries_.find(*dbName);
  if (it == entries_.end()) return SYNC_ERR_NOT_FOUND;
  fillInfo(it->second.summary, info);
  return SYNC_OK;
}

int32_t HandheldStore::install(Database db, std::string& reason) {
  db.attributes &= static_cast<uint16_t>(~kDbAttrOpen);
  auto existing = entries_.find(db.name);
  if (existing != entries_.end() && existing->second.open) {
    reason = "the database \"" + db.name + "\" is open";
    return SYNC_ERR_ALREADY_OPEN;
  }
  std::string fileName =
      existing != entries_.end() ? existing->second.fileName : databaseFileName(db.name);
  if (auto conflict = fileNameConflict(fileName, db.name)) {
    reason = *conflict;
    return SYNC_ERR_STORAGE;
  }
  auto bytes = serializePdb(db);
  if (!bytes) {
    reason = "the database cannot be stored";
    return SYNC_ERR_STORAGE;
  }
  bool replace = existing != entries_.end() && existing->second.onDisk;
  if (!files::writeFileAtomic(files::join(folder_, fileName), *bytes, replace)) {
    reason = "the handheld file \"" + fileName + "\" could not be written";
    return SYNC_ERR_STORAGE;
  }
  std::string name = db.name;
  entries_[name] = Entry{fileName, summarize(db), true, false};
  return SYNC_OK;
}

bool HandheldStore::closeAll() {
  bool ok = true;
  while (!handles_.empty()) ok = close(handles_.begin()->first) == SYNC_OK && ok;
  return ok;
}

}  // namespace lumora::hotsync
