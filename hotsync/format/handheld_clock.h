// The handheld's time for the dates of written databases. A fixed time can be given so
// that two runs write identical files. No OS calls.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace lumora::hotsync {

constexpr uint32_t kSecondsFrom1904To1970 = 2082844800u;

// Reads decimal seconds since 1970-01-01 UTC as handheld time (seconds since 1904);
// nullopt for anything else or a time the 32-bit field cannot hold.
std::optional<uint32_t> palmTimeFromUnixText(std::string_view text);

}  // namespace lumora::hotsync
