#include "platform/registry/font_values.h"

#include <cctype>
#include <vector>

namespace lumora::registry {
namespace {

constexpr uint32_t kWindowsDirectoryBuffer = 260;
constexpr int32_t kErrorNotEnoughMemory = 8;
// Font values are file names; anything near this is not one.
constexpr uint32_t kMaxValueBytes = 1u << 20;
constexpr int kMaxReads = 16;

}  // namespace

std::string_view fontKeyPath(uint32_t platformId) {
  if (platformId == kPlatformWin32Nt)
    return "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
  return "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Fonts";
}

std::string fontValueName(std::string_view face, std::string_view styleSuffix) {
  return std::string(face) + std::string(styleSuffix) + " (TrueType)";
}

ValueText readValueText(Key& key, std::string_view valueName) {
  ValueText out;
  uint32_t size = 0;
  out.error = key.queryValue(valueName, &out.type, nullptr, &size);
  if (out.error != kErrorSuccess) return out;
  std::vector<uint8_t> data;
  for (int attempt = 0; attempt < kMaxReads; ++attempt) {
    if (size > kMaxValueBytes) {
      out.error = kErrorNotEnoughMemory;
      return out;
    }
    // At least one byte, so the read is never mistaken for a size query.
    data.assign(size == 0 ? 1 : size, 0);
    uint32_t got = static_cast<uint32_t>(data.size());
    out.error = key.queryValue(valueName, &out.type, data.data(), &got);
    if (out.error == kErrorMoreData) {
      size = got;
      continue;
    }
    if (out.error != kErrorSuccess) return out;
    if (got > data.size()) got = static_cast<uint32_t>(data.size());
    size_t end = 0;
    while (end < got && data[end] != 0) ++end;
    out.text.assign(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(end));
    return out;
  }
  return out;  // still kErrorMoreData
}

WindowsFolder windowsFolder(Registry& r) {
  WindowsFolder out;
  std::vector<char> buffer(kWindowsDirectoryBuffer, '\0');
  uint32_t n = r.windowsDirectory(buffer.data(), kWindowsDirectoryBuffer);
  if (n >= kWindowsDirectoryBuffer) {
    const uint32_t needed = n;
    buffer.assign(needed, '\0');
    n = r.windowsDirectory(buffer.data(), needed);
    if (n >= needed) {
      out.tooLong = true;
      return out;
    }
  }
  if (n == 0) {
    out.error = r.lastError();
    return out;
  }
  out.path.assign(buffer.data(), n);
  return out;
}

bool isFullPath(std::string_view text) {
  if (text.size() >= 3 && std::isalpha(static_cast<unsigned char>(text[0])) && text[1] == ':' &&
      (text[2] == '\\' || text[2] == '/'))
    return true;
  if (text.starts_with("\\\\")) return true;
  return text.starts_with("/");
}

std::string fontsFolderOf(std::string_view windowsFolder) {
  // A folder given as a host path takes the host's separator.
  const char separator = !windowsFolder.empty() && windowsFolder.front() == '/' ? '/' : '\\';
  std::string folder(windowsFolder);
  if (folder.empty() || (folder.back() != '\\' && folder.back() != '/')) folder += separator;
  return folder + "Fonts" + separator;
}

}  // namespace lumora::registry
