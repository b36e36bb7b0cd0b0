// DLP messages over a NetSync byte stream, for either end: the desktop numbers its
// requests (1 .. 0xFE, then 1 again) and checks that each answer carries its number; the
// handheld answers with the number of the request it got. Keep-alives are skipped. Plus the
// handshake that opens every NetSync session, as a driver for each side.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "common/bytes.h"
#include "hotsync/link/message_link.h"
#include "hotsync/link/netsync.h"
#include "hotsync/link/stream.h"

namespace lumora::link {

enum class LinkRole { Desktop, Handheld };

class NetSyncLink final : public MessageLink {
 public:
  // Monotonic milliseconds. With a clock a receive ends when its time-out has passed even
  // if a peer trickles bytes; without one each read may wait the whole time-out.
  using Clock = std::function<int64_t()>;

  NetSyncLink(ByteStream& stream, LinkRole role, Clock clock = {},
              size_t maxPayload = kDefaultMaxPayload);

  // One DLP message (or handshake packet) in a data packet.
  bool send(ByteView message) override;
  // The next data packet's payload. Closed: the stream ended between packets; Failed: a
  // broken or hostile stream (the error says how); Timeout: nothing whole in time. A
  // keep-alive gives the handheld's wait a new time-out: the desktop sends them while a
  // conduit works. Failures are final.
  LinkMessage receive(int timeoutMs) override;

  LinkRole role() const { return role_; }

 private:
  LinkMessage fail(StreamStatus status, std::string error);

  ByteStream& stream_;
  LinkRole role_;
  Clock clock_;
  NetSyncReader reader_;
  Bytes buffer_;  // the last read; bytes bufferAt_ .. bufferEnd_ not yet fed to the reader
  size_t bufferAt_ = 0;
  size_t bufferEnd_ = 0;
  uint8_t xid_;            // desktop: of the last request sent; handheld: of the last received
  bool awaiting_ = false;  // desktop: a request is out and its answer not yet in
  std::optional<LinkMessage> broken_;
};

struct HandshakeResult {
  StreamStatus status = StreamStatus::Ok;
  std::string error;  // for the log, when status is not Ok
  explicit operator bool() const { return status == StreamStatus::Ok; }
};

// The desktop's side: waits for the handheld's first packet (anything else is refused, so
// a connection that does not begin with the handshake ends here), answers it, waits for
// packet 3, sends 4 and waits for 5. Each wait lasts at most timeoutMs.
HandshakeResult desktopHandshake(NetSyncLink& link, int timeoutMs = kDlpTimeoutMs);
// The handheld's side: sends packet 1, waits for 2, sends 3, waits for 4, sends 5.
HandshakeResult handheldHandshake(NetSyncLink& link, int timeoutMs = kDlpTimeoutMs);

}  // namespace lumora::link
