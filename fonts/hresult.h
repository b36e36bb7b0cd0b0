// HRESULT codes of the installer variant's failures.
#pragma once

#include <cstdint>

#include "common/win32_values.h"

namespace lumora::fonts {

inline constexpr int32_t kEUnexpected = static_cast<int32_t>(0x8000FFFFu);

// 0x80070000 with the low 16 bits of a positive Windows error code; other codes as they are.
constexpr int32_t hresultFromWin32(int32_t code) {
  if (code <= 0) return code;
  return static_cast<int32_t>(0x80070000u | (static_cast<uint32_t>(code) & 0xFFFFu));
}

}  // namespace lumora::fonts
