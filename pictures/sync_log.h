// HotSync log lines of the conduit.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace lumora::pictures {

// Activity codes of the conduit's log lines: 22 marks a missing sync folder, a handheld
// database that cannot be opened and a caught error; every other line has -1.
inline constexpr int32_t kActivityNormal = -1;
inline constexpr int32_t kActivityError = 22;

void logEntry(std::string_view text, int32_t activity = kActivityNormal);

// A name as it may appear in a log line: bytes below 0x20 and 0x7F written as \xNN, so a
// hostile name cannot break the line.
std::string printable(std::string_view name);

}  // namespace lumora::pictures
