// The standard Palm database file (.pdb) as a value: parsing with a reason for every
// refusal, and serializing in the layout Palm tools write. No OS calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/bytes.h"

namespace lumora::hotsync {

constexpr size_t kPdbHeaderSize = 78;
constexpr size_t kPdbRecordEntrySize = 8;
constexpr uint32_t kMaxUniqueId = 0xFFFFFF;  // unique IDs are 24 bits in the record list
// The largest database file read or written: far above what a handheld holds; keeps a
// runaway writer from filling the disk.
constexpr uint64_t kMaxDatabaseBytes = 64ull << 20;

// Database attribute bits the store cares about.
constexpr uint16_t kDbAttrResource = 0x0001;
constexpr uint16_t kDbAttrFileStream = 0x0080;
constexpr uint16_t kDbAttrOpen = 0x8000;

struct PdbRecord {
  uint8_t attributes = 0;  // flags in the high nibble, category in the low nibble
  uint32_t uniqueId = 0;
  Bytes data;
  bool operator==(const PdbRecord&) const = default;
};

struct Database {
  std::string name;  // 1 to 31 bytes, no zero byte
  uint16_t attributes = 0;
  uint16_t version = 0;
  uint32_t creationDate = 0;  // seconds since 1904-01-01
  uint32_t modificationDate = 0;
  uint32_t backupDate = 0;
  uint32_t modificationNumber = 0;
  uint32_t type = 0;
  uint32_t creator = 0;
  uint32_t uniqueIdSeed = 0;
  std::optional<Bytes> appInfo;
  std::optional<Bytes> sortInfo;  // kept so that rewriting a database loses nothing
  std::vector<PdbRecord> records;
  bool operator==(const Database&) const = default;
};

struct PdbParseResult {
  std::optional<Database> database;
  std::string error;  // why the file was refused, when database is empty
};

// Reads a record database. Every offset and length is checked against the file; a file
// with a chained record list, a resource database or overlapping blocks is refused.
PdbParseResult parsePdb(ByteView file);

// The file image: header, record list, the customary 2-byte gap, app-info, sort-info and
// records. nullopt when the value cannot be stored (bad name, more than 65535 records,
// unique ID beyond 24 bits, more than 4 GiB).
std::optional<Bytes> serializePdb(const Database& db);

// The size serializePdb would produce, without building it.
uint64_t serializedPdbSize(const Database& db);

}  // namespace lumora::hotsync
