// A HotSync on a link that serve has just been handed, whatever carried it: the framing
// recognised from the first bytes, the NetSync handshake or the serial stack's CMP, then
// the HotSync framed by the lines that say whose it was and how it ended.
#pragma once

#include <csignal>
#include <cstdint>
#include <optional>
#include <string>

#include "common/bytes.h"
#include "hotsync/link/framing.h"
#include "hotsync/link/message_link.h"
#include "hotsync/link/stream.h"
#include "hotsync/session/link_session.h"

namespace lumora::host {

// What one attempt came to. Idle: nothing that needs a line more; LineClosed: the line
// went away; Refused: a peer that was no HotSync (a line said why).
enum class SessionOutcome { Idle, LineClosed, Refused, Failed, Ran };

// A real serial line's speed, which follows what CMP agreed; null where there is none
// (TCP, USB).
class LineSpeed {
 public:
  virtual ~LineSpeed() = default;
  virtual bool setSpeed(uint32_t baud, std::string& error) = 0;
  virtual void discardInput() = 0;
};

// The HotSync once the link is up, with "HotSync from PEER" before and the closing line or
// "HotSync from PEER failed: WHY" after.
LinkSessionResult runReportedSession(link::MessageLink& wire, const LinkSessionOptions& options,
                                     const std::string& peer);

// NetSync framing: the handshake, then the HotSync.
SessionOutcome serveNetSync(link::ByteStream& stream, const std::string& peer,
                            const LinkSessionOptions& options);

// The serial stack: CMP, the agreed speed on line (when there is one), the HotSync. The
// wakeup is awaited in slices, so that *stop is noticed, for waitMs at most (negative:
// until it comes); a part of a frame stays between slices.
SessionOutcome serveSerialStack(link::ByteStream& stream, LineSpeed* line, const std::string& peer,
                                uint32_t maxBaud, int waitMs, const LinkSessionOptions& options,
                                const volatile std::sig_atomic_t* stop);

// The HotSync in the framing recognised (Slp or NetSync).
SessionOutcome serveFramed(link::Framing framing, link::ByteStream& stream, LineSpeed* line,
                           const std::string& peer, uint32_t maxBaud, int waitMs,
                           const LinkSessionOptions& options,
                           const volatile std::sig_atomic_t* stop);

// The first bytes of a link watched until they show a HotSync's framing, for timeoutMs from
// the first byte (or from start()) at most.
class FramingWatch {
 public:
  explicit FramingWatch(int timeoutMs) : timeoutMs_(timeoutMs) {}

  void start(int64_t now) {
    if (firstAt_ < 0) firstAt_ = now;
  }
  void feed(ByteView bytes, int64_t now) {
    start(now);
    recogniser_.feed(bytes);
  }
  link::Framing framing() const { return recogniser_.framing(); }
  bool started() const { return firstAt_ >= 0; }
  bool expired(int64_t now) const { return started() && now - firstAt_ >= timeoutMs_; }
  // How long until expired(); -1 before the first byte.
  int64_t msLeft(int64_t now) const;
  int timeoutMs() const { return timeoutMs_; }
  const Bytes& seen() const { return recogniser_.seen(); }
  Bytes takeSeen() { return recogniser_.takeSeen(); }
  // The line for bytes that start no HotSync; then: what came after them.
  void dropLine(const std::string& peer, const std::string& then) const;
  void reset() {
    recogniser_ = link::FramingRecogniser();
    firstAt_ = -1;
  }

 private:
  int timeoutMs_;
  link::FramingRecogniser recogniser_;
  int64_t firstAt_ = -1;
};

// Reads stream until its first bytes show a framing (Slp or NetSync), those bytes left in
// seen for the link; nullopt, with a line, when none starts within timeoutMs or the stream
// ends.
std::optional<link::Framing> watchFraming(link::ByteStream& stream, const std::string& peer,
                                          int timeoutMs, const volatile std::sig_atomic_t* stop,
                                          Bytes& seen);

}  // namespace lumora::host
