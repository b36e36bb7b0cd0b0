// The profile seam over the Windows profile functions themselves. A name without a folder
// goes to Windows as it is (Windows then uses its own folder), unless LUMORA_WINDOWS_DIR
// moves the Windows folder elsewhere.
#include <windows.h>

#include <cstdlib>
#include <string>

#include "platform/files/files.h"
#include "platform/files/paths.h"
#include "platform/profile/profile.h"

namespace lumora::profile {
namespace {

bool hasFolder(std::string_view fileName) {
  return fileName.find_first_of("\\/:") != std::string_view::npos;
}

bool windowsFolderMoved() {
  const char* moved = std::getenv("LUMORA_WINDOWS_DIR");
  return moved && *moved;
}

// The name handed to the profile functions.
std::string windowsName(std::string_view fileName) {
  if (hasFolder(fileName) || !windowsFolderMoved()) return std::string(fileName);
  return profilePath(fileName);
}

}  // namespace

std::string profilePath(std::string_view fileName) {
  if (hasFolder(fileName)) return paths::toHostPath(fileName);
  return paths::windowsFolder() + "\\" + std::string(fileName);
}

size_t getString(std::string_view section, std::string_view key, std::string_view fallback,
                 char* buffer, size_t capacity, std::string_view fileName) {
  if (!buffer || capacity == 0) return 0;
  const std::string s(section), k(key), f(fallback), file = windowsName(fileName);
  DWORD size = capacity > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<DWORD>(capacity);
  return ::GetPrivateProfileStringA(s.c_str(), k.c_str(), f.c_str(), buffer, size, file.c_str());
}

unsigned int getInt(std::string_view section, std::string_view key, int fallback,
                    std::string_view fileName) {
  const std::string s(section), k(key), file = windowsName(fileName);
  return ::GetPrivateProfileIntA(s.c_str(), k.c_str(), fallback, file.c_str());
}

bool writeString(std::string_view section, std::string_view key, std::string_view value,
                 std::string_view fileName) {
  const std::string s(section), k(key), v(value), file = windowsName(fileName);
  if (hasFolder(file)) {
    auto sep = file.find_last_of("\\/");
    if (sep != std::string::npos && sep > 0) files::fileSystem().makeFolders(file.substr(0, sep));
  }
  return ::WritePrivateProfileStringA(s.c_str(), k.c_str(), v.c_str(), file.c_str()) != 0;
}

}  // namespace lumora::profile
