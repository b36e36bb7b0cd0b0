#include "hotsync/transport/tcp_stream.h"

#include <charconv>

namespace lumora::host {

std::optional<HostPort> parseHostPort(std::string_view text, std::string_view defaultHost,
                                      std::string& error) {
  HostPort out;
  std::string_view port = text;
  if (auto colon = text.rfind(':'); colon != std::string_view::npos) {
    std::string_view host = text.substr(0, colon);
    port = text.substr(colon + 1);
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
      host = host.substr(1, host.size() - 2);
    } else if (host.find(':') != std::string_view::npos) {
      error = "\"" + std::string(text) + "\" is not ADDR:PORT (write an IPv6 address in [ ])";
      return std::nullopt;
    }
    out.host = host;
  }
  if (out.host.empty()) out.host = defaultHost;
  unsigned value = 0;
  auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), value);
  if (port.empty() || ec != std::errc() || end != port.data() + port.size() || value > 65535) {
    error = "\"" + std::string(text) + "\" has no port number from 0 to 65535";
    return std::nullopt;
  }
  out.port = static_cast<uint16_t>(value);
  return out;
}

}  // namespace lumora::host
