// The Windows registry and system queries that the installer's font exports rely on, behind
// one replaceable table. On this host the font key is served by a "fonts.reg" file in the
// Windows folder when one exists, otherwise by fontconfig.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "common/win32_values.h"

namespace lumora::registry {

inline constexpr uint32_t kRegNone = 0;
inline constexpr uint32_t kRegSz = 1;
inline constexpr uint32_t kRegExpandSz = 2;
inline constexpr uint32_t kRegBinary = 3;
inline constexpr uint32_t kRegDword = 4;
inline constexpr uint32_t kRegMultiSz = 7;

inline constexpr uint32_t kPlatformWin32Windows = 1;  // 95, 98, Me
inline constexpr uint32_t kPlatformWin32Nt = 2;

// A key opened with query-value access; destroying it closes it.
class Key {
 public:
  virtual ~Key() = default;
  // RegQueryValueExA. With data null only *type and *size are set. When *size is smaller
  // than the value, kErrorMoreData and *size becomes the size needed. A missing value
  // gives kErrorFileNotFound.
  virtual int32_t queryValue(std::string_view name, uint32_t* type, uint8_t* data,
                             uint32_t* size) = 0;
};

struct OpenedKey {
  int32_t error = kErrorSuccess;
  std::unique_ptr<Key> key;  // set when error is kErrorSuccess
};

class Registry {
 public:
  virtual ~Registry() = default;
  // RegOpenKeyExA under HKEY_LOCAL_MACHINE with KEY_QUERY_VALUE.
  virtual OpenedKey openLocalMachineKey(std::string_view path) = 0;
  // GetVersionExA's platform identifier; a Windows error code on failure, else 0.
  virtual int32_t platformId(uint32_t& id) = 0;
  // GetWindowsDirectoryA: the length copied (without the terminator) when the folder fits
  // in size characters, else the size needed; 0 on failure (see lastError).
  virtual uint32_t windowsDirectory(char* buffer, uint32_t size) = 0;
  virtual int32_t lastError() = 0;
};

// The registry in use (the host's unless a test installed another).
Registry& registry();
// Installs r (not owned) until reset with nullptr; returns the previous one.
Registry* setRegistry(Registry* r);
Registry& hostRegistry();

}  // namespace lumora::registry
