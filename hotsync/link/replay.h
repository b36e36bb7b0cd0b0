// Replay of a recorded session: both directions reassembled into packets, and every packet
// checked: the handshake by its shape, DLP packets by re-encoding them through the generic
// layer and, for the functions the typed layer knows, through their fields.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace lumora::link {

struct ReplayReport {
  std::vector<std::string> lines;  // one per packet, then problems of the stream
  size_t packets = 0;
  size_t roundTripped = 0;
  std::string failure;  // the recording could not be replayed at all
  bool ok() const { return failure.empty() && packets == roundTripped; }
  // "N/M packets round-trip"
  std::string summary() const;
};

ReplayReport replaySession(std::string_view json);

}  // namespace lumora::link
