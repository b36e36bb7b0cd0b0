// DLP messages over the serial stack (SLP frames carrying PADP), for either end: each
// message goes out in fragments of at most 1024 bytes, each resent until the peer
// acknowledges it; incoming fragments are acknowledged, duplicates dropped, and messages
// reassembled. Loop-back frames and frames for other sockets are ignored, damaged frames
// dropped and counted. Plus the CMP exchange that opens every serial HotSync, as a driver
// for each side. The desktop numbers its requests like NetSync (1 .. 0xFE); CMP uses 0xFF.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>

#include "common/bytes.h"
#include "hotsync/link/message_link.h"
#include "hotsync/link/netsync_link.h"
#include "hotsync/link/padp.h"
#include "hotsync/link/slp.h"
#include "hotsync/link/stream.h"

namespace lumora::link {

struct SerialLinkOptions {
  int resendMs = 2000;  // an unacknowledged fragment goes out again after this long
  int maxResends = 10;  // and at most this often
  size_t maxMessage = kDefaultMaxPayload;
  size_t maxFragment = kPadpMaxFragment;
};

// What went over the line, for the user and the benchmark.
struct SerialLinkStats {
  uint64_t bytesWritten = 0, bytesRead = 0;
  uint64_t framesResent = 0;
  uint64_t framesDropped = 0;  // damaged frames the reader threw away
};

class SerialLink final : public MessageLink {
 public:
  // Monotonic milliseconds; resends and time-outs are computed from it.
  using Clock = std::function<int64_t()>;

  SerialLink(ByteStream& stream, LinkRole role, Clock clock, SerialLinkOptions options = {});

  bool send(ByteView message) override;
  // Closed: the stream ended between frames; Failed: broken, aborted or hostile (the
  // error says how); Timeout: no whole message in time. A tickle gives the handheld's
  // wait a new time-out. Failures are final.
  LinkMessage receive(int timeoutMs) override;

  // The CMP messages travel with transaction id 0xFF.
  bool sendCmp(ByteView message);
  // Long PADP fragments may be used (CMP agreed on it).
  void allowLongForm(bool allowed) { longAllowed_ = allowed; }
  // Why the last send or receive failed.
  const std::string& error() const { return error_; }
  SerialLinkStats stats() const;
  LinkRole role() const { return role_; }

 private:
  enum class Wait { Handled, Timeout, Broken };
  struct Ack {
    uint8_t xid;
    PadpPacket packet;
  };
  struct Message {
    uint8_t xid;
    Bytes bytes;
  };

  bool sendWithXid(ByteView message, uint8_t xid);
  bool writeFrame(uint8_t xid, const PadpPacket& packet);
  Wait pump(int64_t deadline);
  void handle(const SlpFrame& frame);
  void handleData(uint8_t xid, const PadpPacket& packet);
  void breakLink(StreamStatus status, std::string error);
  LinkMessage failure() const;
  std::optional<LinkMessage> deliver();

  ByteStream& stream_;
  LinkRole role_;
  Clock clock_;
  SerialLinkOptions options_;
  SlpReader reader_;
  PadpAssembler assembler_;
  Bytes buffer_;
  size_t bufferAt_ = 0;
  std::deque<Message> inbox_;
  std::optional<uint8_t> lastDone_;  // xid of the last message whole
  uint8_t xid_ = 0;                  // desktop: of the last request; handheld: of the last received
  bool awaiting_ = false;            // desktop: a request is out and its answer not yet in
  bool longAllowed_ = false;
  // What the last handled frame brought.
  std::optional<Ack> ack_;
  bool newData_ = false;
  bool tickled_ = false;
  std::optional<StreamStatus> broken_;
  std::string error_;
  SerialLinkStats stats_;
};

struct CmpOutcome {
  StreamStatus status = StreamStatus::Ok;
  std::string error;
  uint32_t baud = 0;      // the speed to switch to after CMP; 0: stay
  bool longForm = false;  // long PADP agreed
  explicit operator bool() const { return status == StreamStatus::Ok; }
};

// The desktop's side: waits for the handheld's WAKEUP (anything else ends it), answers
// INIT with the agreed speed and form; returns once the INIT was acknowledged, the moment
// to change the line's speed.
CmpOutcome desktopCmp(SerialLink& link, uint32_t desktopMaxBaud, uint32_t currentBaud,
                      int timeoutMs = kDlpTimeoutMs);
// The handheld's side: WAKEUP with the fastest speed it can use, repeated until the
// desktop acknowledges it, then the desktop's INIT.
CmpOutcome handheldCmp(SerialLink& link, uint32_t handheldMaxBaud, int timeoutMs = kDlpTimeoutMs);

}  // namespace lumora::link
