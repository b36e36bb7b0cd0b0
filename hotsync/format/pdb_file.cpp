#include "hotsync/format/pdb_file.h"

#include <cstring>
#include <limits>

namespace lumora::hotsync {
namespace {

constexpr size_t kNameField = 32;
constexpr size_t kGapSize = 2;

PdbParseResult refuse(std::string why) {
  return {std::nullopt, std::move(why)};
}

// One block of the file: where it starts, what it is called in messages.
struct Region {
  uint32_t offset;
  std::string what;
};

}  // namespace

PdbParseResult parsePdb(ByteView file) {
  if (file.size() < kPdbHeaderSize)
    return refuse("the file is shorter than the 78-byte database header");
  const uint8_t* h = file.data();
  const void* zero = std::memchr(h, 0, kNameField);
  if (!zero) return refuse("the database name is not terminated within its 32 bytes");
  size_t nameLength = static_cast<size_t>(static_cast<const uint8_t*>(zero) - h);
  if (nameLength == 0) return refuse("the database name is empty");

  Database db;
  db.name.assign(reinterpret_cast<const char*>(h), nameLength);
  db.attributes = loadBe16(h + 32);
  db.version = loadBe16(h + 34);
  db.creationDate = loadBe32(h + 36);
  db.modificationDate = loadBe32(h + 40);
  db.backupDate = loadBe32(h + 44);
  db.modificationNumber = loadBe32(h + 48);
  uint32_t appInfoOffset = loadBe32(h + 52);
  uint32_t sortInfoOffset = loadBe32(h + 56);
  db.type = loadBe32(h + 60);
  db.creator = loadBe32(h + 64);
  db.uniqueIdSeed = loadBe32(h + 68);
  uint32_t nextRecordList = loadBe32(h + 72);
  uint16_t count = loadBe16(h + 76);

  if (db.attributes & kDbAttrResource)
    return refuse("it is a resource database, not a record database");
  if (nextRecordList != 0) return refuse("the record list is chained to a second list");
  size_t listEnd = kPdbHeaderSize + size_t{count} * kPdbRecordEntrySize;
  if (listEnd > file.size())
    return refuse("the record list of " + std::to_string(count) +
                  " entries runs past the end of the file");

  // Blocks follow each other in file order; each ends where the next one starts.
  std::vector<Region> regions;
  regions.reserve(size_t{count} + 2);
  if (appInfoOffset != 0) regions.push_back({appInfoOffset, "the app-info block"});
  if (sortInfoOffset != 0) regions.push_back({sortInfoOffset, "the sort-info block"});
  for (uint16_t i = 0; i < count; ++i)
    regions.push_back({loadBe32(h + kPdbHeaderSize + size_t{i} * kPdbRecordEntrySize),
                       "record " + std::to_string(i)});
  uint32_t previous = static_cast<uint32_t>(listEnd);
  for (const Region& r : regions) {
    if (r.offset < listEnd) return refuse(r.what + " starts inside the header or record list");
    if (r.offset > file.size()) return refuse(r.what + " starts past the end of the file");
    if (r.offset < previous) return refuse(r.what + " overlaps the block before it");
    previous = r.offset;
  }
  auto endOf = [&](size_t index) -> size_t {
    return index + 1 < regions.size() ? regions[index + 1].offset : file.size();
  };
  auto slice = [&](size_t index) {
    size_t begin = regions[index].offset;
    return Bytes(file.begin() + static_cast<std::ptrdiff_t>(begin),
                 file.begin() + static_cast<std::ptrdiff_t>(endOf(index)));
  };

  size_t next = 0;
  if (appInfoOffset != 0) db.appInfo = slice(next++);
  if (sortInfoOffset != 0) db.sortInfo = slice(next++);
  db.records.reserve(count);
  for (uint16_t i = 0; i < count; ++i, ++next) {
    const uint8_t* entry = h + kPdbHeaderSize + size_t{i} * kPdbRecordEntrySize;
    PdbRecord rec;
    rec.attributes = entry[4];
    rec.uniqueId = (uint32_t{entry[5]} << 16) | (uint32_t{entry[6]} << 8) | entry[7];
    rec.data = slice(next);
    db.records.push_back(std::move(rec));
  }
  return {std::move(db), {}};
}

uint64_t serializedPdbSize(const Database& db) {
  uint64_t size = kPdbHeaderSize + uint64_t{db.records.size()} * kPdbRecordEntrySize + kGapSize;
  if (db.appInfo) size += db.appInfo->size();
  if (db.sortInfo) size += db.sortInfo->size();
  for (const PdbRecord& r : db.records) size += r.data.size();
  return size;
}

std::optional<Bytes> serializePdb(const Database& db) {
  if (db.name.empty() || db.name.size() >= kNameField || db.name.find('\0') != std::string::npos)
    return std::nullopt;
  if (db.records.size() > std::numeric_limits<uint16_t>::max()) return std::nullopt;
  uint64_t total = serializedPdbSize(db);
  if (total > std::numeric_limits<uint32_t>::max()) return std::nullopt;
  for (const PdbRecord& r : db.records)
    if (r.uniqueId > kMaxUniqueId) return std::nullopt;

  uint32_t offset =
      static_cast<uint32_t>(kPdbHeaderSize + db.records.size() * kPdbRecordEntrySize + kGapSize);
  uint32_t appInfoOffset = 0, sortInfoOffset = 0;
  if (db.appInfo) {
    appInfoOffset = offset;
    offset += static_cast<uint32_t>(db.appInfo->size());
  }
  if (db.sortInfo) {
    sortInfoOffset = offset;
    offset += static_cast<uint32_t>(db.sortInfo->size());
  }

  Bytes out;
  out.reserve(static_cast<size_t>(total));
  appendText(out, db.name);
  out.resize(kNameField, 0);
  appendBe16(out, db.attributes);
  appendBe16(out, db.version);
  appendBe32(out, db.creationDate);
  appendBe32(out, db.modificationDate);
  appendBe32(out, db.backupDate);
  appendBe32(out, db.modificationNumber);
  appendBe32(out, appInfoOffset);
  appendBe32(out, sortInfoOffset);
  appendBe32(out, db.type);
  appendBe32(out, db.creator);
  appendBe32(out, db.uniqueIdSeed);
  appendBe32(out, 0);  // no further record list
  appendBe16(out, static_cast<uint16_t>(db.records.size()));
  for (const PdbRecord& r : db.records) {
    appendBe32(out, offset);
    appendU8(out, r.attributes);
    appendU8(out, static_cast<uint8_t>(r.uniqueId >> 16));
    appendBe16(out, static_cast<uint16_t>(r.uniqueId));
    offset += static_cast<uint32_t>(r.data.size());
  }
  appendBe16(out, 0);  // the gap Palm tools leave after the record list
  if (db.appInfo) out.insert(out.end(), db.appInfo->begin(), db.appInfo->end());
  if (db.sortInfo) out.insert(out.end(), db.sortInfo->begin(), db.sortInfo->end());
  for (const PdbRecord& r : db.records) out.insert(out.end(), r.data.begin(), r.data.end());
  return out;
}

}  // namespace lumora::hotsync
