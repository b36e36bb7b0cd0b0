// One Desktop Link Protocol message at a time in each direction, with the framing below
// (NetSync, or the serial stack) hidden: the desktop sends requests and receives answers,
// the handheld receives requests and sends answers.
#pragma once

#include <string>

#include "common/bytes.h"
#include "hotsync/link/stream.h"

namespace lumora::link {

struct LinkMessage {
  StreamStatus status = StreamStatus::Failed;  // Ok: message holds one whole DLP message
  Bytes message;
  std::string error;  // why a Failed receive failed, for the log
};

class MessageLink {
 public:
  virtual ~MessageLink() = default;
  virtual bool send(ByteView message) = 0;
  // Waits at most timeoutMs for the next whole message; keep-alives are skipped.
  virtual LinkMessage receive(int timeoutMs) = 0;
};

// The DLP command time-out that both ends use.
inline constexpr int kDlpTimeoutMs = 30000;

}  // namespace lumora::link
