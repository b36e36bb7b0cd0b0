// The registry seam over the Windows registry and system queries themselves.
#include <windows.h>

#include <string>

#include "platform/registry/registry.h"

namespace lumora::registry {
namespace {

class HostKey final : public Key {
 public:
  explicit HostKey(HKEY key) : key_(key) {}
  ~HostKey() override { ::RegCloseKey(key_); }
  HostKey(const HostKey&) = delete;
  HostKey& operator=(const HostKey&) = delete;

  int32_t queryValue(std::string_view name, uint32_t* type, uint8_t* data,
                     uint32_t* size) override {
    const std::string n(name);
    DWORD t = 0;
    DWORD s = size ? *size : 0;
    LONG r = ::RegQueryValueExA(key_, n.c_str(), nullptr, &t, data, size ? &s : nullptr);
    if (type) *type = t;
    if (size) *size = s;
    return static_cast<int32_t>(r);
  }

 private:
  HKEY key_;
};

class HostRegistry final : public Registry {
 public:
  OpenedKey openLocalMachineKey(std::string_view path) override {
    const std::string p(path);
    HKEY key = nullptr;
    LONG r = ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, p.c_str(), 0, KEY_QUERY_VALUE, &key);
    if (r != ERROR_SUCCESS) return {static_cast<int32_t>(r), nullptr};
    return {kErrorSuccess, std::make_unique<HostKey>(key)};
  }

  int32_t platformId(uint32_t& id) override {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!::GetVersionExA(&info)) return static_cast<int32_t>(::GetLastError());
#pragma GCC diagnostic pop
    id = info.dwPlatformId;
    return kErrorSuccess;
  }

  uint32_t windowsDirectory(char* buffer, uint32_t size) override {
    return ::GetWindowsDirectoryA(buffer, size);
  }

  int32_t lastError() override {
    return static_cast<int32_t>(::GetLastError());
  }
};

}  // namespace

Registry& hostRegistry() {
  static HostRegistry r;
  return r;
}

}  // namespace lumora::registry
