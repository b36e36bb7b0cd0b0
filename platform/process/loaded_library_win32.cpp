#include <windows.h>

#include "platform/process/loaded_library.h"

namespace lumora::process {

LoadedLibrary::LoadedLibrary(const std::string& path) {
  handle_ = ::LoadLibraryA(path.c_str());
  if (!handle_)
    error_ = path + ": cannot load (Windows error " + std::to_string(::GetLastError()) + ")";
}

void LoadedLibrary::unload() {
  if (handle_) ::FreeLibrary(static_cast<HMODULE>(handle_));
  handle_ = nullptr;
}

LoadedLibrary::Address LoadedLibrary::address(const char* name) const {
  if (!handle_) return nullptr;
  return reinterpret_cast<Address>(::GetProcAddress(static_cast<HMODULE>(handle_), name));
}

std::string programFolder() {
  char path[MAX_PATH + 1];
  DWORD n = ::GetModuleFileNameA(nullptr, path, sizeof path);
  if (n == 0 || n >= sizeof path) return ".";
  std::string exe(path, n);
  auto sep = exe.find_last_of("\\/");
  return sep == std::string::npos ? "." : exe.substr(0, sep);
}

bool isLoadableFile(const std::string& path) {
  DWORD a = ::GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace lumora::process
