// On Windows the Windows notions are the real ones; only the Windows folder can be moved
// (LUMORA_WINDOWS_DIR), so that tests and the stand-in keep their files apart.
#include <windows.h>

#include <cstdlib>
#include <string>

#include "platform/files/paths.h"

namespace lumora::paths {
namespace {

std::string withoutTrailingSeparator(std::string s) {
  while (s.size() > 3 && (s.back() == '\\' || s.back() == '/')) s.pop_back();
  return s;
}

}  // namespace

std::string windowsFolder() {
  const char* moved = std::getenv("LUMORA_WINDOWS_DIR");
  if (moved && *moved) return withoutTrailingSeparator(moved);
  char buffer[MAX_PATH + 1];
  UINT n = ::GetWindowsDirectoryA(buffer, sizeof buffer);
  if (n == 0 || n >= sizeof buffer) return "C:\\WINDOWS";
  return withoutTrailingSeparator(std::string(buffer, n));
}

std::string driveFolder(char letter) {
  return std::string(1, letter) + ":";
}

std::string toHostPath(std::string_view windowsPath) {
  if (windowsPath.empty()) return ".";
  return std::string(windowsPath);
}

std::string tempFolder() {
  char buffer[MAX_PATH + 1];
  DWORD n = ::GetTempPathA(sizeof buffer, buffer);
  if (n == 0 || n >= sizeof buffer) return "C:\\TEMP\\";
  std::string t(buffer, n);
  if (t.back() != '\\' && t.back() != '/') t += '\\';
  return t;
}

}  // namespace lumora::paths
