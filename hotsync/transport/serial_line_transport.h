// A serial line: each HotSync in the framing its first bytes show (a cradle and a Visor
// SLP, a USB handheld on its tty NetSync). Bytes that start neither are dropped with a
// line once a frame has not started timeoutMs after them or too many came. A line that
// goes away (a USB handheld's device disappears after its HotSync) is opened again when it
// returns.
#pragma once

#include <csignal>
#include <cstdint>
#include <memory>
#include <string>

#include "hotsync/session/serve_session.h"
#include "hotsync/transport/serial_port.h"
#include "hotsync/transport/transport.h"

namespace lumora::host {

class SerialLineTransport final : public Transport {
 public:
  // Opens the device when it exists; null with error set when it cannot be opened. stop:
  // the flag that breaks off a HotSync in progress (Ctrl-C).
  static std::unique_ptr<SerialLineTransport> open(const std::string& device, uint32_t maxBaud,
                                                   int timeoutMs,
                                                   const volatile std::sig_atomic_t* stop,
                                                   std::string& error);

  std::string announcement() const override;
  int waitFd() const override { return port_ ? port_->fd() : -1; }
  int pollIntervalMs() const override;
  HotSyncOutcome step(const LinkSessionOptions& options) override;

 private:
  SerialLineTransport(std::string device, uint32_t maxBaud, int timeoutMs,
                      const volatile std::sig_atomic_t* stop)
      : device_(std::move(device)), maxBaud_(maxBaud), watch_(timeoutMs), stop_(stop) {}

  HotSyncOutcome run(link::Framing framing, const LinkSessionOptions& options);
  // Ready for the next HotSync: nothing of the last one kept.
  void restart();
  void lineGone();

  std::string device_;
  uint32_t maxBaud_;
  std::unique_ptr<SerialPort> port_;
  FramingWatch watch_;
  const volatile std::sig_atomic_t* stop_;
};

}  // namespace lumora::host
