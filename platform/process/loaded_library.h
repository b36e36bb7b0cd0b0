// A shared library loaded for the life of the object, with typed symbol lookup; and the
// facts about this program that finding a library needs.
#pragma once

#include <string>

namespace lumora::process {

class LoadedLibrary {
 public:
  explicit LoadedLibrary(const std::string& path);
  ~LoadedLibrary() { unload(); }
  LoadedLibrary(const LoadedLibrary&) = delete;
  LoadedLibrary& operator=(const LoadedLibrary&) = delete;

  bool loaded() const { return handle_ != nullptr; }
  const std::string& error() const { return error_; }

  template <typename Fn>
  Fn* symbol(const char* name) const {
    return reinterpret_cast<Fn*>(address(name));
  }

  // Unloads now (the library's exit-time work runs here).
  void unload();

 private:
  using Address = void (*)();
  Address address(const char* name) const;

  void* handle_ = nullptr;
  std::string error_;
};

// The folder of the running program; "." when it cannot be told.
std::string programFolder();
// Whether path names a file this process could load (Linux: may read; Windows: a file, not
// a folder).
bool isLoadableFile(const std::string& path);

}  // namespace lumora::process
