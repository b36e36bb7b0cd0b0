#include "hotsync/api/conduit_registry.h"

#include "hotsync/api/hotsync.h"
#include "platform/files/atomic_files.h"
#include "platform/profile/ini.h"

namespace lumora::hotsync {
namespace {

constexpr uint64_t kMaxRegistryBytes = 1u << 20;

bool isValidValue(std::string_view value) {
  return value.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

}  // namespace

bool isValidCreator(std::string_view creator) {
  if (creator.size() != 4 || creator.front() == ' ' || creator.back() == ' ') return false;
  for (char c : creator) {
    if (c < 0x20 || c > 0x7E) return false;
    if (c == '[' || c == ']' || c == '=' || c == ';') return false;
  }
  return true;
}

std::optional<std::string> ConduitRegistry::load() const {
  if (!files::exists(path_)) return std::string();
  auto read = files::readFile(path_, kMaxRegistryBytes, /*followLinks=*/true);
  if (!read.bytes) return std::nullopt;
  return std::string(read.bytes->begin(), read.bytes->end());
}

bool ConduitRegistry::save(const std::string& text) const {
  auto slash = path_.rfind('/');
  if (slash != std::string::npos && slash > 0 && !files::makeFolders(path_.substr(0, slash)))
    return false;
  return files::writeFileAtomic(
      path_, ByteView(reinterpret_cast<const uint8_t*>(text.data()), text.size()), true);
}

int32_t ConduitRegistry::add(std::string_view creator, int32_t type) {
  if (!isValidCreator(creator)) return CM_ERR_INVALID_CREATOR;
  auto text = load();
  if (!text) return CM_ERR_STORAGE;
  if (ini::hasSection(*text, creator)) return CM_ERR_ALREADY_REGISTERED;
  if (!save(ini::withValue(*text, creator, "Type", std::to_string(type)))) return CM_ERR_STORAGE;
  return 0;
}

int32_t ConduitRegistry::set(std::string_view creator, std::string_view key,
                             std::string_view value) {
  if (!isValidCreator(creator)) return CM_ERR_INVALID_CREATOR;
  if (!isValidValue(value)) return CM_ERR_REGISTRY_ACCESS;  // the file could not hold it
  auto text = load();
  if (!text) return CM_ERR_STORAGE;
  if (!ini::hasSection(*text, creator)) return CM_ERR_NOT_REGISTERED;
  if (!save(ini::withValue(*text, creator, key, value))) return CM_ERR_STORAGE;
  return 0;
}

int32_t ConduitRegistry::remove(std::string_view creator) {
  if (!isValidCreator(creator)) return SYNC_ERR_BAD_ARG;
  auto text = load();
  if (!text) return SYNC_ERR_STORAGE;
  if (!ini::hasSection(*text, creator)) return CM_ERR_NOT_REGISTERED;
  if (!save(ini::withoutSection(*text, creator))) return SYNC_ERR_STORAGE;
  return 0;
}

int32_t ConduitRegistry::get(std::string_view creator, std::string_view key, std::string& value) {
  if (!isValidCreator(creator)) return CM_ERR_INVALID_CREATOR;
  auto text = load();
  if (!text) return CM_ERR_STORAGE;
  if (!ini::hasSection(*text, creator)) return CM_ERR_NOT_REGISTERED;
  value = ini::lookup(*text, creator, key).value_or(std::string());
  return 0;
}

}  // namespace lumora::hotsync
