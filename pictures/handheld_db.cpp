#include "pictures/handheld_db.h"

#include <utility>

#include "hotsync/api/hotsync.h"

namespace lumora::pictures {

OpenDatabase::OpenDatabase(OpenDatabase&& other) noexcept
    : handle_(other.handle_), open_(std::exchange(other.open_, false)) {}

OpenDatabase& OpenDatabase::operator=(OpenDatabase&& other) noexcept {
  if (this != &other) {
    close();
    handle_ = other.handle_;
    open_ = std::exchange(other.open_, false);
  }
  return *this;
}

void OpenDatabase::close() {
  if (!open_) return;
  open_ = false;
  SyncCloseDB(handle_);
}

OpenResult openForReading(std::string_view name, int32_t card) {
  std::string text(name);
  uint8_t handle = 0;
  OpenResult result;
  result.code = SyncOpenDB(text.c_str(), card, &handle, kOpenReadMode);
  if (result.code == 0) result.db = OpenDatabase(handle);
  return result;
}

void deleteDatabase(std::string_view name, int32_t card) {
  std::string text(name);
  SyncDeleteDB(text.c_str(), card);
}

std::string nameOf(const char (&field)[32]) {
  size_t n = 0;
  while (n < sizeof field && field[n] != '\0') ++n;
  return std::string(field, n);
}

}  // namespace lumora::pictures
