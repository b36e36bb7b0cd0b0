#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>

#include "platform/files/atomic_files.h"
#include "platform/files/files.h"
#include "platform/files/posix_fd.h"

namespace lumora::files {
namespace {

using posix::Fd;

bool writeAll(int fd, const uint8_t* bytes, size_t count) {
  size_t done = 0;
  while (done < count) {
    ssize_t n = ::write(fd, bytes + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

std::string folderOf(const std::string& path) {
  auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string baseOf(const std::string& path) {
  auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Flushes the folder entry of a rename, so the new file survives a power cut.
void syncFolder(const std::string& folder) {
  Fd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() >= 0) ::fsync(dir.get());
}

// A new hidden temporary file beside target, opened for writing.
struct TempFile {
  std::string path;
  int fd = -1;
};

std::optional<TempFile> createTemp(const std::string& target) {
  static std::atomic<unsigned> counter{0};
  std::string folder = folderOf(target);
  // Keep the name short enough for the folder even when the target's name is long.
  std::string base = baseOf(target).substr(0, 200);
  for (int attempt = 0; attempt < 32; ++attempt) {
    std::string temp = join(folder, "." + base + "." + std::to_string(::getpid()) + "-" +
                                        std::to_string(counter++) + ".tmp");
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd >= 0) return TempFile{temp, fd};
    if (errno != EEXIST) return std::nullopt;
  }
  return std::nullopt;
}

// Flushes and moves a finished temporary file into place; removes it on failure.
bool finishTemp(TempFile& temp, const std::string& target, bool replace) {
  Fd fd(temp.fd);
  bool ok = ::fsync(fd.get()) == 0 && fd.closeChecked();
  if (ok) {
    if (replace) {
      // rename() replaces a link itself, never the file it points to.
      ok = ::rename(temp.path.c_str(), target.c_str()) == 0;
    } else {
      // link() refuses an existing target, so a file that appeared meanwhile survives.
      ok = ::link(temp.path.c_str(), target.c_str()) == 0;
      ::unlink(temp.path.c_str());
    }
  }
  if (!ok) {
    ::unlink(temp.path.c_str());
    return false;
  }
  syncFolder(folderOf(target));
  return true;
}

}  // namespace

std::string join(const std::string& folder, std::string_view name) {
  if (folder.empty()) return std::string(name);
  if (folder.back() == '/') return folder + std::string(name);
  return folder + "/" + std::string(name);
}

ReadResult readFile(const std::string& path, uint64_t maxBytes, bool followLinks) {
  int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | (followLinks ? 0 : O_NOFOLLOW);
  Fd fd(::open(path.c_str(), flags));
  if (fd.get() < 0) {
    if (errno == ELOOP) return {std::nullopt, "it is a symbolic link"};
    return {std::nullopt, std::strerror(errno)};
  }
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) return {std::nullopt, std::strerror(errno)};
  if (!S_ISREG(st.st_mode)) return {std::nullopt, "it is not a regular file"};
  if (static_cast<uint64_t>(st.st_size) > maxBytes)
    return {std::nullopt, "it is larger than " + std::to_string(maxBytes) + " bytes"};
  Bytes bytes(static_cast<size_t>(st.st_size));
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::read(fd.get(), bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return {std::nullopt, std::strerror(errno)};
    if (n == 0) return {std::nullopt, "it became shorter while being read"};
    done += static_cast<size_t>(n);
  }
  return {std::move(bytes), {}};
}

std::optional<std::vector<std::string>> listFolder(const std::string& path) {
  DIR* dir = ::opendir(path.c_str());
  if (!dir) return std::nullopt;
  std::vector<std::string> names;
  while (dirent* e = ::readdir(dir)) {
    std::string name = e->d_name;
    if (name != "." && name != "..") names.push_back(std::move(name));
  }
  ::closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

bool isFolder(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool isRegularFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

bool makeFolders(const std::string& path) {
  return makeHostFolders(path);
}

bool writeFileAtomic(const std::string& path, ByteView bytes, bool replace) {
  if (!replace && exists(path)) return false;
  auto temp = createTemp(path);
  if (!temp) return false;
  if (!writeAll(temp->fd, bytes.data(), bytes.size())) {
    ::close(temp->fd);
    ::unlink(temp->path.c_str());
    return false;
  }
  return finishTemp(*temp, path, replace);
}

bool copyFileAtomic(const std::string& from, const std::string& to) {
  Fd in(::open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (in.get() < 0) return false;
  struct stat st {};
  if (::fstat(in.get(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  auto temp = createTemp(to);
  if (!temp) return false;
  uint8_t buffer[65536];
  for (;;) {
    ssize_t n = ::read(in.get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n == 0) break;
    if (n < 0 || !writeAll(temp->fd, buffer, static_cast<size_t>(n))) {
      ::close(temp->fd);
      ::unlink(temp->path.c_str());
      return false;
    }
  }
  return finishTemp(*temp, to, /*replace=*/true);
}

bool removeFile(const std::string& path) {
  return ::unlink(path.c_str()) == 0;
}

bool appendToFile(const std::string& path, std::string_view text) {
  Fd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_CLOEXEC, 0644));
  if (fd.get() < 0) return false;
  return writeAll(fd.get(), reinterpret_cast<const uint8_t*>(text.data()), text.size()) &&
         fd.closeChecked();
}

}  // namespace lumora::files
