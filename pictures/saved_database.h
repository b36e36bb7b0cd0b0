// A whole handheld database read into memory, so that it can be put back when the one
// replacing it cannot be written.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/bytes.h"

namespace lumora::pictures {

struct SavedRecord {
  uint8_t attributes = 0;
  uint16_t category = 0;
  Bytes data;
};

struct SavedDatabase {
  std::string name;
  uint32_t type = 0;
  uint32_t creator = 0;
  uint16_t attributes = 0;
  uint16_t version = 0;
  std::optional<Bytes> appInfo;  // absent when the database has none
  std::vector<SavedRecord> records;
};

// Reads the database of that name on card 0 whole; nullopt when it cannot be read
// completely (or would not fit in memory).
std::optional<SavedDatabase> saveDatabase(std::string_view name);

// Creates the database again on card 0 with the saved contents (new record IDs and dates).
// On failure, a thrown integer included, nothing of it is left behind and false returned.
bool restoreDatabase(const SavedDatabase& saved);

}  // namespace lumora::pictures
