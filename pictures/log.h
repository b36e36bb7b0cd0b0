// HotSync log lines of the picture exchange.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace lumora::pictures {

inline constexpr int32_t kActivityNormal = -1;
inline constexpr int32_t kActivityError = 22;

void logEntry(std::string_view text, int32_t activity = kActivityNormal);

// A name as it may appear in a log line: bytes below 0x20 and 0x7F written as \xNN, so a
// hostile name cannot break the line.
std::string printable(std::string_view name);

}  // namespace lumora::pictures
