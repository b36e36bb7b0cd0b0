#include "pictures/sync_log.h"

#include "hotsync/api/hotsync.h"

namespace lumora::pictures {

void logEntry(std::string_view text, int32_t activity) {
  std::string line(text);
  LogAddEntry(line.c_str(), activity, 0);
}

std::string printable(std::string_view name) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (char c : name) {
    auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) {
      out += "\\x";
      out += kHex[u >> 4];
      out += kHex[u & 15];
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace lumora::pictures
