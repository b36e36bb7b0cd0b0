// The files seam over the Win32 file functions. Output goes to a temporary file beside
// the target and is moved into place with MoveFileExA, so a target is never half-written.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <string>

#include "platform/files/files.h"
#include "platform/files/paths.h"
#include "platform/files/win32_handle.h"

namespace lumora::files {
namespace {

using win32::Handle;

// Win32 transfers at most a DWORD at a time.
constexpr size_t kChunk = 1u << 30;

class HostInput final : public InputFile {
 public:
  explicit HostInput(HANDLE h) : h_(h) {}
  uint64_t size() override {
    LARGE_INTEGER n{};
    if (!::GetFileSizeEx(h_.get(), &n)) return 0;
    return static_cast<uint64_t>(n.QuadPart);
  }
  std::optional<size_t> read(uint8_t* into, size_t count) override {
    size_t done = 0;
    while (done < count) {
      DWORD want = static_cast<DWORD>(std::min(count - done, kChunk));
      DWORD got = 0;
      if (!::ReadFile(h_.get(), into + done, want, &got, nullptr)) return std::nullopt;
      if (got == 0) break;
      done += got;
    }
    return done;
  }

 private:
  Handle h_;
};

size_t lastSeparator(const std::string& path) {
  return path.find_last_of("\\/");
}

std::string folderOf(const std::string& path) {
  auto sep = lastSeparator(path);
  if (sep == std::string::npos) return ".";
  if (sep == 0 || (sep == 2 && path[1] == ':')) return path.substr(0, sep + 1);
  return path.substr(0, sep);
}

std::string baseOf(const std::string& path) {
  auto sep = lastSeparator(path);
  return sep == std::string::npos ? path : path.substr(sep + 1);
}

std::string inFolder(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  char last = folder.back();
  return (last == '\\' || last == '/' || last == ':') ? folder + name : folder + "\\" + name;
}

DWORD attributesOf(const std::string& path) {
  return ::GetFileAttributesA(path.c_str());
}

bool isFolder(const std::string& path) {
  DWORD a = attributesOf(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

class HostOutput final : public OutputFile {
 public:
  HostOutput(std::string target, std::string temp, HANDLE h, bool replace)
      : target_(std::move(target)), temp_(std::move(temp)), h_(h), replace_(replace) {}
  ~HostOutput() override {
    if (!committed_) {
      h_.reset();
      ::DeleteFileA(temp_.c_str());
    }
  }
  bool write(const uint8_t* bytes, size_t count) override {
    if (failed_) return false;
    size_t done = 0;
    while (done < count) {
      DWORD want = static_cast<DWORD>(std::min(count - done, kChunk));
      DWORD wrote = 0;
      if (!::WriteFile(h_.get(), bytes + done, want, &wrote, nullptr) || wrote == 0) {
        failed_ = true;
        return false;
      }
      done += wrote;
    }
    return true;
  }
  bool commit() override {
    if (failed_ || committed_) return false;
    if (!::FlushFileBuffers(h_.get()) || !h_.closeChecked()) return false;
    // Without MOVEFILE_REPLACE_EXISTING the move refuses a file that appeared meanwhile.
    DWORD flags = MOVEFILE_WRITE_THROUGH | (replace_ ? MOVEFILE_REPLACE_EXISTING : 0);
    if (!::MoveFileExA(temp_.c_str(), target_.c_str(), flags)) return false;
    committed_ = true;
    return true;
  }

 private:
  std::string target_;
  std::string temp_;
  Handle h_;
  bool replace_;
  bool failed_ = false;
  bool committed_ = false;
};

int32_t lastError() {
  return static_cast<int32_t>(::GetLastError());
}

class HostFileSystem final : public FileSystem {
 public:
  std::vector<std::string> find(std::string_view pattern) override {
    std::string host = paths::toHostPath(pattern);
    std::string mask = baseOf(host);
    std::vector<std::string> names;
    WIN32_FIND_DATAA data{};
    win32::FindHandle search(::FindFirstFileA(host.c_str(), &data));
    if (!search.valid()) return names;
    do {
      // Windows also matches the short 8.3 names ("*.bmp" finds "a.bmpx"); the long name
      // decides here, as on every other host.
      std::string name = data.cFileName;
      if (matchesPattern(name, mask)) names.push_back(name);
    } while (::FindNextFileA(search.get(), &data));
    sortNames(names);
    return names;
  }

  bool existsForRead(std::string_view path) override {
    std::string host = paths::toHostPath(path);
    Handle h(::CreateFileA(host.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
    return h.valid() && ::GetFileType(h.get()) == FILE_TYPE_DISK;
  }

  std::unique_ptr<InputFile> openInput(std::string_view path, Share share) override {
    return openInputReporting(path, share).file;
  }
  std::unique_ptr<OutputFile> createOutput(std::string_view path, bool replace) override {
    return createOutputReporting(path, replace).file;
  }

  Opened<InputFile> openInputReporting(std::string_view path, Share share) override {
    std::string host = paths::toHostPath(path);
    DWORD mode = share == Share::read ? FILE_SHARE_READ : 0;
    HANDLE h = ::CreateFileA(host.c_str(), GENERIC_READ, mode, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return {nullptr, lastError()};
    if (::GetFileType(h) != FILE_TYPE_DISK) {
      ::CloseHandle(h);
      return {nullptr, kErrorAccessDenied};
    }
    return {std::make_unique<HostInput>(h), kErrorSuccess};
  }

  Opened<OutputFile> createOutputReporting(std::string_view path, bool replace) override {
    static std::atomic<unsigned> counter{0};
    std::string host = paths::toHostPath(path);
    DWORD existing = attributesOf(host);
    if (existing != INVALID_FILE_ATTRIBUTES) {
      if (!replace) return {nullptr, kErrorFileExists};
      if (existing & FILE_ATTRIBUTE_DIRECTORY) return {nullptr, kErrorAccessDenied};
    }
    // Hidden temporary name, so a folder scan for "*.bmp" never takes it for a picture.
    std::string folder = folderOf(host);
    std::string base = baseOf(host);
    for (int attempt = 0; attempt < 16; ++attempt) {
      std::string temp =
          inFolder(folder, "." + base + "." + std::to_string(::GetCurrentProcessId()) + "-" +
                               std::to_string(counter++) + ".tmp");
      HANDLE h = ::CreateFileA(temp.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
      if (h != INVALID_HANDLE_VALUE)
        return {std::make_unique<HostOutput>(host, temp, h, replace), kErrorSuccess};
      if (::GetLastError() != ERROR_FILE_EXISTS) return {nullptr, lastError()};
    }
    return {nullptr, kErrorFileExists};
  }

  bool remove(std::string_view path) override {
    std::string host = paths::toHostPath(path);
    return ::DeleteFileA(host.c_str()) != 0;
  }

  bool makeFolders(std::string_view path) override {
    std::string host = paths::toHostPath(path);
    for (size_t i = 1; i <= host.size(); ++i) {
      if (i < host.size() && host[i] != '\\' && host[i] != '/') continue;
      std::string part = host.substr(0, i);
      if (part.size() == 2 && part[1] == ':') continue;  // a drive, not a folder to create
      if (!::CreateDirectoryA(part.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS &&
          !isFolder(part))
        return false;
    }
    return isFolder(host);
  }

  std::string tempFolder() override { return paths::tempFolder(); }

  std::optional<DiskSpace> diskSpace(std::string_view folder) override {
    ULARGE_INTEGER available{}, total{};
    if (!::GetDiskFreeSpaceExA(paths::toHostPath(folder).c_str(), &available, &total, nullptr))
      return std::nullopt;
    return DiskSpace{total.QuadPart, available.QuadPart};
  }
};

}  // namespace

FileSystem& hostFileSystem() {
  static HostFileSystem fs;
  return fs;
}

}  // namespace lumora::files
