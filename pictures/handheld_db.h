// Thin owners over the Sync Manager calls that the picture exchange makes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace lumora::pictures {

// Every reader of this system opens read-only and exclusive.
inline constexpr uint8_t kOpenReadMode = 0x90;
inline constexpr int32_t kCard = 0;

// An open handheld database; closed once, at close() or destruction.
class OpenDatabase {
 public:
  OpenDatabase() = default;
  explicit OpenDatabase(uint8_t handle) : handle_(handle), open_(true) {}
  ~OpenDatabase() { close(); }
  OpenDatabase(OpenDatabase&& other) noexcept;
  OpenDatabase& operator=(OpenDatabase&& other) noexcept;
  OpenDatabase(const OpenDatabase&) = delete;
  OpenDatabase& operator=(const OpenDatabase&) = delete;

  bool isOpen() const { return open_; }
  uint8_t handle() const { return handle_; }
  void close();

 private:
  uint8_t handle_ = 0;
  bool open_ = false;
};

struct OpenResult {
  int32_t code = 0;
  OpenDatabase db;  // open exactly when code is 0
};

OpenResult openForReading(std::string_view name, int32_t card);

void deleteDatabase(std::string_view name, int32_t card);

// The name field of a search result, which need not be terminated.
std::string nameOf(const char (&field)[32]);

}  // namespace lumora::pictures
