#include <dlfcn.h>
#include <unistd.h>

#include <vector>

#include "platform/process/loaded_library.h"

namespace lumora::process {

LoadedLibrary::LoadedLibrary(const std::string& path) {
  handle_ = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle_) return;
  const char* why = ::dlerror();
  error_ = why ? why : path + ": cannot load";
}

void LoadedLibrary::unload() {
  if (handle_) ::dlclose(handle_);
  handle_ = nullptr;
}

LoadedLibrary::Address LoadedLibrary::address(const char* name) const {
  if (!handle_) return nullptr;
  return reinterpret_cast<Address>(::dlsym(handle_, name));
}

std::string programFolder() {
  std::vector<char> buf(4096);
  ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size() - 1);
  if (n <= 0) return ".";
  std::string exe(buf.data(), static_cast<size_t>(n));
  auto slash = exe.rfind('/');
  return slash == std::string::npos ? "." : exe.substr(0, slash);
}

bool isLoadableFile(const std::string& path) {
  return ::access(path.c_str(), R_OK) == 0;
}

}  // namespace lumora::process
