// A shared library loaded for the life of the object, with typed symbol lookup.
#pragma once

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <string>

namespace lumora::host {

class LoadedLibrary {
 public:
#if defined(_WIN32)
  explicit LoadedLibrary(const std::string& path) {
    handle_ = ::LoadLibraryA(path.c_str());
    if (!handle_)
      error_ = path + ": cannot load (Windows error " + std::to_string(::GetLastError()) + ")";
  }
#else
  explicit LoadedLibrary(const std::string& path) {
    handle_ = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) error_ = ::dlerror();
  }
#endif
  ~LoadedLibrary() {
    unload();
  }
  LoadedLibrary(const LoadedLibrary&) = delete;
  LoadedLibrary& operator=(const LoadedLibrary&) = delete;

  bool loaded() const {
    return handle_ != nullptr;
  }
  const std::string& error() const {
    return error_;
  }

  template <typename Fn>
  Fn* symbol(const char* name) const {
    if (!handle_) return nullptr;
#if defined(_WIN32)
    return reinterpret_cast<Fn*>(
        reinterpret_cast<void (*)()>(::GetProcAddress(static_cast<HMODULE>(handle_), name)));
#else
    return reinterpret_cast<Fn*>(::dlsym(handle_, name));
#endif
  }

  // Unloads now (the library's exit-time work runs here).
  void unload() {
#if defined(_WIN32)
    if (handle_) ::FreeLibrary(static_cast<HMODULE>(handle_));
#else
    if (handle_) ::dlclose(handle_);
#endif
    handle_ = nullptr;
  }

 private:
  void* handle_ = nullptr;
  std::string error_;
};

}  // namespace lumora::host
