// A shared library loaded for the life of the object, with typed symbol lookup.
#pragma once

#include <dlfcn.h>

#include <string>

namespace lumora::host {

class LoadedLibrary {
 public:
  explicit LoadedLibrary(const std::string& path) {
    handle_ = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) error_ = ::dlerror();
  }
  ~LoadedLibrary() { unload(); }
  LoadedLibrary(const LoadedLibrary&) = delete;
  LoadedLibrary& operator=(const LoadedLibrary&) = delete;

  bool loaded() const { return handle_ != nullptr; }
  const std::string& error() const { return error_; }

  template <typename Fn>
  Fn* symbol(const char* name) const {
    if (!handle_) return nullptr;
    return reinterpret_cast<Fn*>(::dlsym(handle_, name));
  }

  // Unloads now (the library's exit-time work runs here).
  void unload() {
    if (handle_) ::dlclose(handle_);
    handle_ = nullptr;
  }

 private:
  void* handle_ = nullptr;
  std::string error_;
};

}  // namespace lumora::host
