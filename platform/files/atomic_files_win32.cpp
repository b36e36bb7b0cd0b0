// The stand-in's file operations over the Win32 file functions. Every file written appears
// atomically: a hidden temporary file beside the target is moved into place.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <string>

#include "platform/files/atomic_files.h"
#include "platform/files/win32_handle.h"

namespace lumora::files {
namespace {

using win32::Handle;

constexpr DWORD kChunk = 1u << 20;

bool writeAll(HANDLE h, const uint8_t* bytes, size_t count) {
  size_t done = 0;
  while (done < count) {
    DWORD want = static_cast<DWORD>(std::min<size_t>(count - done, kChunk));
    DWORD wrote = 0;
    if (!::WriteFile(h, bytes + done, want, &wrote, nullptr) || wrote == 0) return false;
    done += wrote;
  }
  return true;
}

std::string folderOf(const std::string& path) {
  auto sep = path.find_last_of("\\/");
  if (sep == std::string::npos) return ".";
  if (sep == 0 || (sep == 2 && path[1] == ':')) return path.substr(0, sep + 1);
  return path.substr(0, sep);
}

std::string baseOf(const std::string& path) {
  auto sep = path.find_last_of("\\/");
  return sep == std::string::npos ? path : path.substr(sep + 1);
}

DWORD attributesOf(const std::string& path) {
  return ::GetFileAttributesA(path.c_str());
}

bool isLink(DWORD attributes) {
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

std::string lastErrorText() {
  char text[256] = {};
  DWORD n = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             ::GetLastError(), 0, text, sizeof text, nullptr);
  std::string s(text, n);
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == '.')) s.pop_back();
  return s.empty() ? std::string("Windows error ") + std::to_string(::GetLastError()) : s;
}

struct TempFile {
  std::string path;
  HANDLE handle = INVALID_HANDLE_VALUE;
};

std::optional<TempFile> createTemp(const std::string& target) {
  static std::atomic<unsigned> counter{0};
  std::string folder = folderOf(target);
  std::string base = baseOf(target).substr(0, 200);
  for (int attempt = 0; attempt < 32; ++attempt) {
    std::string temp = join(folder, "." + base + "." + std::to_string(::GetCurrentProcessId()) +
                                        "-" + std::to_string(counter++) + ".tmp");
    HANDLE h = ::CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) return TempFile{temp, h};
    if (::GetLastError() != ERROR_FILE_EXISTS) return std::nullopt;
  }
  return std::nullopt;
}

// Flushes and moves a finished temporary file into place; removes it on failure.
bool finishTemp(TempFile& temp, const std::string& target, bool replace) {
  Handle h(temp.handle);
  bool ok = ::FlushFileBuffers(h.get()) && h.closeChecked();
  if (ok) {
    DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
    ok = ::MoveFileExA(temp.path.c_str(), target.c_str(), flags) != 0;
  }
  if (!ok) ::DeleteFileA(temp.path.c_str());
  return ok;
}

void discard(TempFile& temp) {
  ::CloseHandle(temp.handle);
  ::DeleteFileA(temp.path.c_str());
}

}  // namespace

std::string join(const std::string& folder, std::string_view name) {
  if (folder.empty()) return std::string(name);
  char last = folder.back();
  if (last == '/' || last == '\\') return folder + std::string(name);
  return folder + "\\" + std::string(name);
}

ReadResult readFile(const std::string& path, uint64_t maxBytes, bool followLinks) {
  if (!followLinks && isLink(attributesOf(path))) return {std::nullopt, "it is a symbolic link"};
  Handle h(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!h.valid()) return {std::nullopt, lastErrorText()};
  if (::GetFileType(h.get()) != FILE_TYPE_DISK) return {std::nullopt, "it is not a regular file"};
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(h.get(), &size)) return {std::nullopt, lastErrorText()};
  if (static_cast<uint64_t>(size.QuadPart) > maxBytes)
    return {std::nullopt, "it is larger than " + std::to_string(maxBytes) + " bytes"};
  Bytes bytes(static_cast<size_t>(size.QuadPart));
  size_t done = 0;
  while (done < bytes.size()) {
    DWORD want = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, kChunk));
    DWORD got = 0;
    if (!::ReadFile(h.get(), bytes.data() + done, want, &got, nullptr))
      return {std::nullopt, lastErrorText()};
    if (got == 0) return {std::nullopt, "it became shorter while being read"};
    done += got;
  }
  return {std::move(bytes), {}};
}

std::optional<std::vector<std::string>> listFolder(const std::string& path) {
  if (!isFolder(path)) return std::nullopt;
  WIN32_FIND_DATAA data{};
  std::vector<std::string> names;
  win32::FindHandle search(::FindFirstFileA(join(path, "*").c_str(), &data));
  if (!search.valid()) {
    if (::GetLastError() == ERROR_FILE_NOT_FOUND) return names;
    return std::nullopt;
  }
  do {
    std::string name = data.cFileName;
    if (name != "." && name != "..") names.push_back(std::move(name));
  } while (::FindNextFileA(search.get(), &data));
  std::sort(names.begin(), names.end());
  return names;
}

bool isFolder(const std::string& path) {
  DWORD a = attributesOf(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool isRegularFile(const std::string& path) {
  DWORD a = attributesOf(path);
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool exists(const std::string& path) {
  return attributesOf(path) != INVALID_FILE_ATTRIBUTES;
}

bool makeFolders(const std::string& path) {
  for (size_t i = 1; i <= path.size(); ++i) {
    if (i < path.size() && path[i] != '\\' && path[i] != '/') continue;
    std::string part = path.substr(0, i);
    if (part.size() == 2 && part[1] == ':') continue;
    if (!::CreateDirectoryA(part.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS &&
        !isFolder(part))
      return false;
  }
  return isFolder(path);
}

bool writeFileAtomic(const std::string& path, ByteView bytes, bool replace) {
  if (!replace && exists(path)) return false;
  auto temp = createTemp(path);
  if (!temp) return false;
  if (!writeAll(temp->handle, bytes.data(), bytes.size())) {
    discard(*temp);
    return false;
  }
  return finishTemp(*temp, path, replace);
}

bool copyFileAtomic(const std::string& from, const std::string& to) {
  Handle in(::CreateFileA(from.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!in.valid() || ::GetFileType(in.get()) != FILE_TYPE_DISK) return false;
  auto temp = createTemp(to);
  if (!temp) return false;
  std::vector<uint8_t> buffer(65536);
  for (;;) {
    DWORD got = 0;
    if (!::ReadFile(in.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) {
      discard(*temp);
      return false;
    }
    if (got == 0) break;
    if (!writeAll(temp->handle, buffer.data(), got)) {
      discard(*temp);
      return false;
    }
  }
  return finishTemp(*temp, to, /*replace=*/true);
}

bool removeFile(const std::string& path) {
  return ::DeleteFileA(path.c_str()) != 0;
}

bool appendToFile(const std::string& path, std::string_view text) {
  if (isLink(attributesOf(path))) return false;
  Handle h(::CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!h.valid()) return false;
  return writeAll(h.get(), reinterpret_cast<const uint8_t*>(text.data()), text.size()) &&
         h.closeChecked();
}

}  // namespace lumora::files
