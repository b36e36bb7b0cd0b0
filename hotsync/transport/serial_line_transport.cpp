#include "hotsync/transport/serial_line_transport.h"

#include <filesystem>

#include "common/monotonic_clock.h"
#include "hotsync/link/cmp.h"
#include "hotsync/link/prefixed_stream.h"

namespace lumora::host {
namespace {

// How often a device that is not there is looked for.
constexpr int kReopenMs = 1000;

}  // namespace

std::unique_ptr<SerialLineTransport> SerialLineTransport::open(
    const std::string& device, uint32_t maxBaud, int timeoutMs,
    const volatile std::sig_atomic_t* stop, std::string& error) {
  std::unique_ptr<SerialLineTransport> line(
      new SerialLineTransport(device, maxBaud, timeoutMs, stop));
  // A USB handheld's device appears only once HotSync is pressed: wait for it.
  std::error_code missing;
  if (std::filesystem::exists(device, missing)) {
    line->port_ = SerialPort::open(device, link::kCmpStartBaud, error);
    if (!line->port_) return nullptr;
  }
  return line;
}

std::string SerialLineTransport::announcement() const {
  return "waiting on " + device_ + (port_ ? "" : " (it does not exist yet)");
}

int SerialLineTransport::pollIntervalMs() const {
  if (!port_) return kReopenMs;
  return static_cast<int>(watch_.msLeft(steadyMs()));
}

HotSyncOutcome SerialLineTransport::step(const LinkSessionOptions& options) {
  if (!port_) {
    std::string error;
    port_ = SerialPort::open(device_, link::kCmpStartBaud, error);
    return HotSyncOutcome::None;
  }
  uint8_t buffer[512];
  link::StreamRead got = port_->read(buffer, sizeof buffer, 0);
  if (got.status == link::StreamStatus::Closed || got.status == link::StreamStatus::Failed) {
    if (*stop_) return HotSyncOutcome::None;
    if (watch_.started()) watch_.dropLine(device_, ", then the line closed");
    lineGone();
    return HotSyncOutcome::None;
  }
  if (got.status == link::StreamStatus::Ok) watch_.feed(ByteView(buffer, got.count), steadyMs());
  const link::Framing framing = watch_.framing();
  if (framing == link::Framing::Slp || framing == link::Framing::NetSync)
    return run(framing, options);
  if (framing == link::Framing::Neither) {
    watch_.dropLine(device_, "");
    restart();
  } else if (watch_.expired(steadyMs())) {
    watch_.dropLine(device_,
                    ", and no HotSync within " + std::to_string(watch_.timeoutMs() / 1000) + " s");
    restart();
  }
  return HotSyncOutcome::None;
}

HotSyncOutcome SerialLineTransport::run(link::Framing framing, const LinkSessionOptions& options) {
  link::PrefixedStream stream(*port_, watch_.takeSeen());
  SerialPortSpeed speed(*port_);
  SessionOutcome got =
      serveFramed(framing, stream, &speed, device_, maxBaud_, watch_.timeoutMs(), options, stop_);
  if (got == SessionOutcome::LineClosed) {
    lineGone();
  } else {
    restart();
  }
  return outcomeOf(got);
}

void SerialLineTransport::restart() {
  if (port_) port_->discardInput();
  watch_.reset();
}

void SerialLineTransport::lineGone() {
  port_.reset();
  restart();
}

}  // namespace lumora::host
