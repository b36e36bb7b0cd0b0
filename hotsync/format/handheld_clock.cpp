#include "hotsync/format/handheld_clock.h"

namespace lumora::hotsync {

std::optional<uint32_t> palmTimeFromUnixText(std::string_view text) {
  constexpr uint64_t kLatest = UINT32_MAX - kSecondsFrom1904To1970;
  if (text.empty() || text.size() > 10) return std::nullopt;
  uint64_t seconds = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    seconds = seconds * 10 + static_cast<uint64_t>(c - '0');
  }
  if (seconds > kLatest) return std::nullopt;
  return static_cast<uint32_t>(seconds + kSecondsFrom1904To1970);
}

}  // namespace lumora::hotsync
