#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "platform/files/files.h"
#include "platform/files/paths.h"
#include "platform/files/posix_fd.h"

namespace lumora::files {

bool makeHostFolders(const std::string& hostPath) {
  auto isFolder = [](const std::string& p) {
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  };
  if (isFolder(hostPath)) return true;
  // Up to the deepest part that exists, then down again making each missing one.
  std::vector<std::string> missing;
  std::string part = hostPath;
  while (!part.empty() && part != "/") {
    struct stat st {};
    if (::lstat(part.c_str(), &st) == 0) break;
    missing.push_back(part);
    size_t slash = part.find_last_of('/');
    if (slash == std::string::npos) break;
    part.resize(slash == 0 ? 1 : slash);
  }
  for (auto it = missing.rbegin(); it != missing.rend(); ++it)
    if (::mkdir(it->c_str(), 0755) != 0 && errno != EEXIST) return false;
  return isFolder(hostPath);
}

namespace {

using posix::Fd;

class HostInput final : public InputFile {
 public:
  explicit HostInput(int fd) : fd_(fd) {}
  uint64_t size() override {
    struct stat st {};
    if (::fstat(fd_.get(), &st) != 0) return 0;
    return static_cast<uint64_t>(st.st_size);
  }
  std::optional<size_t> read(uint8_t* into, size_t count) override {
    size_t done = 0;
    while (done < count) {
      ssize_t n = ::read(fd_.get(), into + done, count - done);
      if (n < 0) {
        if (errno == EINTR) continue;
        return std::nullopt;
      }
      if (n == 0) break;
      done += static_cast<size_t>(n);
    }
    return done;
  }

 private:
  Fd fd_;
};

std::string folderOf(const std::string& path) {
  auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string baseOf(const std::string& path) {
  auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

class HostOutput final : public OutputFile {
 public:
  HostOutput(std::string target, std::string temp, int fd, bool replace)
      : target_(std::move(target)), temp_(std::move(temp)), fd_(fd), replace_(replace) {}
  ~HostOutput() override {
    if (!committed_) {
      fd_.reset();
      ::unlink(temp_.c_str());
    }
  }
  bool write(const uint8_t* bytes, size_t count) override {
    if (failed_) return false;
    size_t done = 0;
    while (done < count) {
      ssize_t n = ::write(fd_.get(), bytes + done, count - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        failed_ = true;
        return false;
      }
      done += static_cast<size_t>(n);
    }
    return true;
  }
  bool commit() override {
    if (failed_ || committed_) return false;
    if (::fsync(fd_.get()) != 0 || !fd_.closeChecked()) return false;
    if (replace_) {
      if (::rename(temp_.c_str(), target_.c_str()) != 0) return false;
    } else {
      // link() refuses an existing target, so a file that appeared meanwhile survives.
      if (::link(temp_.c_str(), target_.c_str()) != 0) return false;
      ::unlink(temp_.c_str());
    }
    committed_ = true;
    return true;
  }

 private:
  std::string target_;
  std::string temp_;
  Fd fd_;
  bool replace_;
  bool failed_ = false;
  bool committed_ = false;
};

// The Windows error code closest to an errno value, as the Windows build would report it.
int32_t windowsError(int error) {
  switch (error) {
    case ENOENT:
      return kErrorFileNotFound;
    case ENOTDIR:
      return kErrorPathNotFound;
    case EMFILE:
    case ENFILE:
      return kErrorTooManyOpenFiles;
    case ENOSPC:
    case EDQUOT:
      return kErrorDiskFull;
    case EROFS:
      return kErrorWriteProtect;
    case ENAMETOOLONG:
      return kErrorFilenameTooLong;
    case EEXIST:
      return kErrorFileExists;
    default:
      return kErrorAccessDenied;
  }
}

class HostFileSystem final : public FileSystem {
 public:
  std::vector<std::string> find(std::string_view pattern) override {
    std::string host = paths::toHostPath(pattern);
    std::string folder = folderOf(host);
    std::string mask = baseOf(host);
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return names;
    while (dirent* e = ::readdir(dir)) {
      std::string name = e->d_name;
      if (matchesPattern(name, mask)) names.push_back(name);
    }
    ::closedir(dir);
    sortNames(names);
    return names;
  }

  bool existsForRead(std::string_view path) override {
    std::string host = paths::toHostPath(path);
    Fd fd(::open(host.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() < 0) return false;
    struct stat st {};
    return ::fstat(fd.get(), &st) == 0 && S_ISREG(st.st_mode);
  }

  std::unique_ptr<InputFile> openInput(std::string_view path, Share share) override {
    return openInputReporting(path, share).file;
  }
  std::unique_ptr<OutputFile> createOutput(std::string_view path, bool replace) override {
    return createOutputReporting(path, replace).file;
  }

  Opened<InputFile> openInputReporting(std::string_view path, Share) override {
    std::string host = paths::toHostPath(path);
    int fd = ::open(host.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
      const int error = errno;
      // Windows tells a missing folder from a missing file.
      struct stat folder {};
      if (error == ENOENT && ::stat(folderOf(host).c_str(), &folder) != 0)
        return {nullptr, kErrorPathNotFound};
      return {nullptr, windowsError(error)};
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
      ::close(fd);
      return {nullptr, kErrorAccessDenied};  // as Windows answers for a folder
    }
    return {std::make_unique<HostInput>(fd), kErrorSuccess};
  }

  Opened<OutputFile> createOutputReporting(std::string_view path, bool replace) override {
    std::string host = paths::toHostPath(path);
    struct stat st {};
    if (!replace && ::lstat(host.c_str(), &st) == 0) return {nullptr, kErrorFileExists};
    if (replace && ::lstat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
      return {nullptr, kErrorAccessDenied};
    std::string folder = folderOf(host);
    // Hidden temporary name, so a folder scan for "*.bmp" never takes it for a picture.
    std::string base = baseOf(host);
    for (int attempt = 0; attempt < 16; ++attempt) {
      std::string temp = folder + "/." + base + "." + std::to_string(rng_()) + ".tmp";
      int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
      if (fd >= 0) return {std::make_unique<HostOutput>(host, temp, fd, replace), kErrorSuccess};
      // The file is new, so a missing entry is its folder.
      if (errno == ENOENT) return {nullptr, kErrorPathNotFound};
      if (errno != EEXIST) return {nullptr, windowsError(errno)};
    }
    return {nullptr, kErrorFileExists};
  }

  bool remove(std::string_view path) override {
    std::string host = paths::toHostPath(path);
    return ::unlink(host.c_str()) == 0;
  }

  bool makeFolders(std::string_view path) override {
    return makeHostFolders(paths::toHostPath(path));
  }

  std::string tempFolder() override { return paths::tempFolder(); }

  std::optional<DiskSpace> diskSpace(std::string_view folder) override {
    struct statvfs st {};
    if (::statvfs(paths::toHostPath(folder).c_str(), &st) != 0) return std::nullopt;
    return DiskSpace{static_cast<uint64_t>(st.f_blocks) * st.f_frsize,
                     static_cast<uint64_t>(st.f_bavail) * st.f_frsize};
  }

 private:
  std::minstd_rand rng_{static_cast<unsigned>(::getpid())};
};

}  // namespace

FileSystem& hostFileSystem() {
  static HostFileSystem fs;
  return fs;
}

}  // namespace lumora::files
