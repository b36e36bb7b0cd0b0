#include "platform/profile/profile.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "platform/files/files.h"
#include "platform/files/paths.h"
#include "platform/profile/ini.h"

namespace lumora::profile {
namespace {

// Profile files are small; anything larger is not one we wrote.
constexpr uint64_t kMaxProfileBytes = 1u << 20;

std::optional<std::string> readText(std::string_view fileName) {
  auto bytes = files::readWholeFile(profilePath(fileName), kMaxProfileBytes);
  if (!bytes) return std::nullopt;
  return std::string(bytes->begin(), bytes->end());
}

}  // namespace

std::string profilePath(std::string_view fileName) {
  bool hasFolder = fileName.find_first_of("\\/:") != std::string_view::npos;
  if (hasFolder) return paths::toHostPath(fileName);
  return paths::windowsFolder() + "/" + std::string(fileName);
}

size_t getString(std::string_view section, std::string_view key, std::string_view fallback,
                 char* buffer, size_t capacity, std::string_view fileName) {
  if (!buffer || capacity == 0) return 0;
  std::optional<std::string> value;
  if (auto text = readText(fileName)) value = ini::lookup(*text, section, key);
  std::string_view chosen = value ? std::string_view(*value) : fallback;
  size_t n = std::min(chosen.size(), capacity - 1);
  std::memcpy(buffer, chosen.data(), n);
  buffer[n] = '\0';
  return n;
}

unsigned int getInt(std::string_view section, std::string_view key, int fallback,
                    std::string_view fileName) {
  // The platform reads integers through a 30-character text buffer.
  char text[30];
  size_t n = getString(section, key, "", text, sizeof text, fileName);
  if (n == 0) return static_cast<unsigned int>(fallback);
  return ini::parseInteger(std::string_view(text, n));
}

bool writeString(std::string_view section, std::string_view key, std::string_view value,
                 std::string_view fileName) {
  std::string path = profilePath(fileName);
  std::string text = readText(fileName).value_or(std::string());
  std::string updated = ini::withValue(text, section, key, value);
  auto slash = path.rfind('/');
  if (slash != std::string::npos && slash > 0)
    files::fileSystem().makeFolders(path.substr(0, slash));
  auto out = files::fileSystem().createOutput(path, /*replace=*/true);
  if (!out) return false;
  if (!out->write(reinterpret_cast<const uint8_t*>(updated.data()), updated.size())) return false;
  return out->commit();
}

}  // namespace lumora::profile
