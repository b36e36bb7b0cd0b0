#include "hotsync/transport/network_transport.h"

#include <cstdio>

#include "hotsync/session/serve_session.h"

namespace lumora::host {
namespace {

// True for an address of this machine only ("127.0.0.1:14238", "[::1]:14238").
bool isLoopbackAddress(const std::string& address) {
  std::string error;
  auto parsed = parseHostPort(address, "", error);
  if (!parsed) return false;
  const std::string& host = parsed->host;
  return host.rfind("127.", 0) == 0 || host == "::1" || host == "[::1]" || host == "localhost";
}

}  // namespace

NetworkTransport::NetworkTransport(std::unique_ptr<TcpListener> listener, bool serial,
                                   uint32_t maxBaud, const volatile std::sig_atomic_t* stop)
    : listener_(std::move(listener)),
      serial_(serial),
      maxBaud_(maxBaud),
      local_(isLoopbackAddress(listener_->address())),
      stop_(stop) {}

std::string NetworkTransport::announcement() const {
  std::string line = "listening on " + listener_->address();
  // Anyone who reaches this address may try; say so where the owner looks.
  if (!local_)
    line += " (open to the network: " +
            std::string(acceptsNewUsers_ ? "any handheld may become a user here"
                                         : "only handhelds of known users HotSync here") +
            ")";
  return line;
}

HotSyncOutcome NetworkTransport::step(const LinkSessionOptions& shared) {
  LinkSessionOptions options = shared;
  options.peerIsLocal = local_;
  TcpListener::Accepted next = listener_->accept(0);
  if (next.status == TcpListener::Status::Failed) {
    std::fprintf(stderr, "lumora-hotsync serve: accept failed: %s\n", next.error.c_str());
    return HotSyncOutcome::None;
  }
  if (next.status != TcpListener::Status::Accepted) return HotSyncOutcome::None;
  next.stream->stopWhen(stop_);
  // No line speed over TCP: the agreed one is only announced.
  return outcomeOf(serveFramed(serial_ ? link::Framing::Slp : link::Framing::NetSync, *next.stream,
                               nullptr, next.stream->peer(), maxBaud_, link::kDlpTimeoutMs, options,
                               stop_));
}

}  // namespace lumora::host
