// Portable parts of the files seam.
#include <algorithm>
#include <cctype>
#include <cstring>

#include "platform/files/files.h"

namespace lumora::files {
namespace {

char fold(char c) {
  return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

FileSystem* current = nullptr;  // a test's file system, or none

}  // namespace

Opened<InputFile> FileSystem::openInputReporting(std::string_view path, Share share) {
  auto file = openInput(path, share);
  const int32_t error = file ? kErrorSuccess : kErrorFileNotFound;
  return {std::move(file), error};
}

Opened<OutputFile> FileSystem::createOutputReporting(std::string_view path, bool replace) {
  auto file = createOutput(path, replace);
  const int32_t error = file ? kErrorSuccess : kErrorAccessDenied;
  return {std::move(file), error};
}

std::optional<DiskSpace> FileSystem::diskSpace(std::string_view) {
  return std::nullopt;
}

FileSystem& fileSystem() {
  return current ? *current : hostFileSystem();
}

FileSystem* setFileSystem(FileSystem* fs) {
  FileSystem* previous = current;
  current = fs;
  return previous;
}

bool matchesPattern(std::string_view name, std::string_view pattern) {
  if (pattern == "*.*" || pattern == "*") return true;
  // Iterative wildcard match with one backtrack point for the last '*'.
  size_t n = 0, p = 0, starP = std::string_view::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || fold(pattern[p]) == fold(name[n]))) {
      ++n;
      ++p;
    } else if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starN = n;
    } else if (starP != std::string_view::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

std::optional<size_t> MemoryInput::read(uint8_t* into, size_t count) {
  size_t n = std::min(count, bytes_.size() - at_);
  if (n > 0) std::memcpy(into, bytes_.data() + at_, n);
  at_ += n;
  return n;
}

void sortNames(std::vector<std::string>& names) {
  auto upper = [](char c) { return std::toupper(static_cast<unsigned char>(c)); };
  std::sort(names.begin(), names.end(), [&](const std::string& a, const std::string& b) {
    for (size_t i = 0; i < a.size() && i < b.size(); ++i)
      if (upper(a[i]) != upper(b[i])) return upper(a[i]) < upper(b[i]);
    if (a.size() != b.size()) return a.size() < b.size();
    return a < b;
  });
}

std::optional<std::vector<uint8_t>> readWholeFile(std::string_view path, uint64_t maxBytes) {
  auto in = fileSystem().openInput(path, Share::read);
  if (!in) return std::nullopt;
  uint64_t size = in->size();
  if (size > maxBytes) return std::nullopt;
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  auto got = in->read(bytes.data(), bytes.size());
  if (!got || *got != bytes.size()) return std::nullopt;
  return bytes;
}

}  // namespace lumora::files
