#include "hotsync/transport/serial_port.h"

#include <algorithm>
#include <charconv>
#include <iterator>

#include "hotsync/link/cmp.h"

namespace lumora::host {

bool isSerialSpeed(uint32_t baud) {
  return std::find(std::begin(link::kCmpSpeeds), std::end(link::kCmpSpeeds), baud) !=
         std::end(link::kCmpSpeeds);
}

std::optional<uint32_t> parseSerialSpeed(std::string_view text) {
  uint32_t value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size() ||
      !isSerialSpeed(value))
    return std::nullopt;
  return value;
}

}  // namespace lumora::host
