#include "hotsync/transport/usb_transport.h"

#include <cstdio>

#include "hotsync/session/serve_session.h"

namespace lumora::host {
namespace {

// The serial stack's fastest speed over USB, where it is only announced.
constexpr uint32_t kUsbMaxBaud = 115200;

}  // namespace

std::string UsbTransport::announcement() const {
  return "waiting for a USB handheld" + (only_ ? " " + link::formatUsbId(*only_) : "");
}

HotSyncOutcome UsbTransport::step(const LinkSessionOptions& options) {
  UsbArrival device = arrivals_.next();
  switch (device.kind) {
    case UsbArrival::Kind::None:
      return HotSyncOutcome::None;
    case UsbArrival::Kind::BusFailed:
      std::fprintf(stderr, "lumora-hotsync serve: %s\n", device.line.c_str());
      return HotSyncOutcome::Retired;
    case UsbArrival::Kind::Refused:
      std::printf("%s\n", device.line.c_str());
      std::fflush(stdout);
      return HotSyncOutcome::None;
    case UsbArrival::Kind::HotSync:
      break;
  }
  device.stream->stopWhen(stop_);
  std::optional<link::Framing> framing;
  if (device.known) {
    framing = device.known->framing == link::UsbFraming::Slp ? link::Framing::Slp
                                                             : link::Framing::NetSync;
  } else {
    Bytes seen;
    framing = watchFraming(*device.stream, device.label, options.timeoutMs, stop_, seen);
    if (framing) device.stream->unread(seen);
  }
  if (!framing) return HotSyncOutcome::None;
  return outcomeOf(serveFramed(*framing, *device.stream, nullptr, device.label, kUsbMaxBaud,
                               options.timeoutMs, options, stop_));
}

}  // namespace lumora::host
