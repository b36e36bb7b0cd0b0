#include "hotsync/session/serve_session.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "common/monotonic_clock.h"
#include "hotsync/link/cmp.h"
#include "hotsync/link/netsync_link.h"
#include "hotsync/link/serial_link.h"
#include "hotsync/session/hotsync_run.h"

namespace lumora::host {
namespace {

// The longest single wait, so that a stop signal that came meanwhile is seen.
constexpr int kSliceMs = 500;

bool stopped(const volatile std::sig_atomic_t* stop) {
  return stop && *stop;
}

}  // namespace

LinkSessionResult runReportedSession(link::MessageLink& wire, const LinkSessionOptions& options,
                                     const std::string& peer) {
  std::printf("HotSync from %s\n", peer.c_str());
  std::fflush(stdout);
  LinkSessionResult result = runLinkSession(wire, options);
  if (result.ran)
    std::printf("%s\n",
                closingLine("HotSync of " + result.user + " complete", result.user).c_str());
  else
    std::printf("HotSync from %s failed: %s\n", peer.c_str(), result.error.c_str());
  std::fflush(stdout);
  return result;
}

SessionOutcome serveNetSync(link::ByteStream& stream, const std::string& peer,
                            const LinkSessionOptions& options) {
  link::NetSyncLink wire(stream, link::LinkRole::Desktop, steadyMs);
  if (auto hello = link::desktopHandshake(wire, options.timeoutMs); !hello) {
    std::printf("closed the connection from %s: %s\n", peer.c_str(), hello.error.c_str());
    std::fflush(stdout);
    return hello.status == link::StreamStatus::Closed ? SessionOutcome::LineClosed
                                                      : SessionOutcome::Refused;
  }
  LinkSessionResult result = runReportedSession(wire, options, peer);
  return result.ran ? SessionOutcome::Ran : SessionOutcome::Failed;
}

SessionOutcome serveSerialStack(link::ByteStream& stream, LineSpeed* line, const std::string& peer,
                                uint32_t maxBaud, int waitMs, const LinkSessionOptions& options,
                                const volatile std::sig_atomic_t* stop) {
  link::SerialLink wire(stream, link::LinkRole::Desktop, steadyMs);
  const int64_t since = steadyMs();
  link::CmpOutcome cmp;
  do {
    cmp = link::desktopCmp(wire, maxBaud, link::kCmpStartBaud, kSliceMs);
  } while (cmp.status == link::StreamStatus::Timeout && !stopped(stop) &&
           (waitMs < 0 || steadyMs() - since < waitMs));
  if (!cmp) {
    const bool closed = cmp.status == link::StreamStatus::Closed;
    if (stopped(stop)) return SessionOutcome::Idle;
    if (cmp.status == link::StreamStatus::Timeout) {
      std::printf("closed the connection from %s: no serial HotSync wakeup within %d s\n",
                  peer.c_str(), waitMs / 1000);
      std::fflush(stdout);
      return SessionOutcome::Idle;
    }
    // A line that closes without a byte is no HotSync; anything else gets a line.
    if (closed && wire.stats().bytesRead == 0) return SessionOutcome::LineClosed;
    std::printf("closed the connection from %s: %s\n", peer.c_str(), cmp.error.c_str());
    std::fflush(stdout);
    return closed ? SessionOutcome::LineClosed : SessionOutcome::Refused;
  }
  std::string speedError;
  if (line && cmp.baud && !line->setSpeed(cmp.baud, speedError)) {
    std::printf("HotSync from %s failed: %s\n", peer.c_str(), speedError.c_str());
    std::fflush(stdout);
    return SessionOutcome::Failed;
  }
  LinkSessionResult result = runReportedSession(wire, options, peer);
  // The next HotSync starts at 9600 baud again, without the tail of this one.
  if (line) {
    if (cmp.baud) line->setSpeed(link::kCmpStartBaud, speedError);
    line->discardInput();
  }
  return result.ran ? SessionOutcome::Ran : SessionOutcome::Failed;
}

SessionOutcome serveFramed(link::Framing framing, link::ByteStream& stream, LineSpeed* line,
                           const std::string& peer, uint32_t maxBaud, int waitMs,
                           const LinkSessionOptions& options,
                           const volatile std::sig_atomic_t* stop) {
  if (framing == link::Framing::Slp)
    return serveSerialStack(stream, line, peer, maxBaud, waitMs, options, stop);
  return serveNetSync(stream, peer, options);
}

int64_t FramingWatch::msLeft(int64_t now) const {
  if (!started()) return -1;
  return std::max<int64_t>(0, firstAt_ + timeoutMs_ - now);
}

void FramingWatch::dropLine(const std::string& peer, const std::string& then) const {
  std::printf(
      "closed the connection from %s: %zu bytes that start neither a serial nor a "
      "NetSync HotSync%s\n",
      peer.c_str(), recogniser_.skipped() + recogniser_.seen().size(), then.c_str());
  std::fflush(stdout);
}

std::optional<link::Framing> watchFraming(link::ByteStream& stream, const std::string& peer,
                                          int timeoutMs, const volatile std::sig_atomic_t* stop,
                                          Bytes& seen) {
  FramingWatch watch(timeoutMs);
  watch.start(steadyMs());
  uint8_t buffer[512];
  while (!stopped(stop) && watch.framing() == link::Framing::NeedMore &&
         !watch.expired(steadyMs())) {
    const int left = static_cast<int>(watch.msLeft(steadyMs()));
    link::StreamRead got = stream.read(buffer, sizeof buffer, std::min(left, kSliceMs));
    if (got.status == link::StreamStatus::Ok) watch.feed(ByteView(buffer, got.count), steadyMs());
    if (got.status == link::StreamStatus::Closed || got.status == link::StreamStatus::Failed) break;
  }
  if (watch.framing() == link::Framing::Slp || watch.framing() == link::Framing::NetSync) {
    seen = watch.takeSeen();
    return watch.framing();
  }
  if (!stopped(stop)) watch.dropLine(peer, " within " + std::to_string(timeoutMs / 1000) + " s");
  return std::nullopt;
}

}  // namespace lumora::host
