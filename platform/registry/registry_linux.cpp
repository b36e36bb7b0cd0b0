// The host's registry: a "fonts.reg" export in the Windows folder when one exists, else the
// font keys answered from fontconfig.
#include <algorithm>
#include <cstring>

#include "platform/files/files.h"
#include "platform/files/paths.h"
#include "platform/registry/font_values.h"
#include "platform/registry/fontconfig_fonts.h"
#include "platform/registry/reg_file.h"
#include "platform/registry/registry.h"

namespace lumora::registry {
namespace {

constexpr uint64_t kMaxRegFileBytes = 16u << 20;

// RegQueryValueExA over a value held in memory.
int32_t answer(const RegValue& value, uint32_t* type, uint8_t* data, uint32_t* size) {
  const auto length = static_cast<uint32_t>(value.data.size());
  if (type) *type = value.type;
  if (!data) {
    if (size) *size = length;
    return kErrorSuccess;
  }
  if (!size || *size < length) {
    if (size) *size = length;
    return kErrorMoreData;
  }
  std::copy(value.data.begin(), value.data.end(), data);
  *size = length;
  return kErrorSuccess;
}

class RegFileKey final : public Key {
 public:
  explicit RegFileKey(RegValues values) : values_(std::move(values)) {}
  int32_t queryValue(std::string_view name, uint32_t* type, uint8_t* data,
                     uint32_t* size) override {
    auto it = values_.find(name);
    if (it == values_.end()) return kErrorFileNotFound;
    return answer(it->second, type, data, size);
  }

 private:
  RegValues values_;
};

class FontconfigKey final : public Key {
 public:
  int32_t queryValue(std::string_view name, uint32_t* type, uint8_t* data,
                     uint32_t* size) override {
    auto face = parseFontValueName(name);
    if (!face) return kErrorFileNotFound;
    auto file = fonts_.fileOf(*face);
    if (!file) return kErrorFileNotFound;
    RegValue value;
    value.type = kRegSz;
    value.data.assign(file->begin(), file->end());
    value.data.push_back(0);
    return answer(value, type, data, size);
  }

 private:
  FontconfigFonts fonts_;
};

bool isFontKey(std::string_view path) {
  NoCaseLess less;
  auto same = [&](std::string_view a, std::string_view b) { return !less(a, b) && !less(b, a); };
  return same(path, fontKeyPath(kPlatformWin32Nt)) ||
         same(path, fontKeyPath(kPlatformWin32Windows));
}

class HostRegistry final : public Registry {
 public:
  OpenedKey openLocalMachineKey(std::string_view path) override {
    const std::string exportFile = paths::windowsFolder() + "/fonts.reg";
    auto& fs = files::fileSystem();
    if (fs.existsForRead(exportFile)) {
      auto bytes = files::readWholeFile(exportFile, kMaxRegFileBytes);
      if (!bytes) return {kErrorBadDb, nullptr};
      auto file = parseRegFile(*bytes);
      if (!file) return {kErrorBadDb, nullptr};
      const RegValues* values = file->findKey("HKEY_LOCAL_MACHINE\\" + std::string(path));
      if (!values) return {kErrorFileNotFound, nullptr};
      return {kErrorSuccess, std::make_unique<RegFileKey>(*values)};
    }
    if (!isFontKey(path)) return {kErrorFileNotFound, nullptr};
    return {kErrorSuccess, std::make_unique<FontconfigKey>()};
  }

  int32_t platformId(uint32_t& id) override {
    id = kPlatformWin32Nt;
    return kErrorSuccess;
  }

  uint32_t windowsDirectory(char* buffer, uint32_t size) override {
    const std::string folder = paths::windowsFolder();
    const auto length = static_cast<uint32_t>(folder.size());
    if (!buffer || size <= length) return length + 1;
    std::memcpy(buffer, folder.data(), length);
    buffer[length] = '\0';
    return length;
  }

  int32_t lastError() override { return kErrorSuccess; }
};

}  // namespace

Registry& hostRegistry() {
  static HostRegistry r;
  return r;
}

}  // namespace lumora::registry
