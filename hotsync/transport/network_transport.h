// A listening socket: NetSync HotSyncs, or (serial) the serial stack of an emulator whose
// serial port is redirected to a TCP connection. Connections wait in the listen backlog
// while another HotSync runs.
#pragma once

#include <csignal>
#include <cstdint>
#include <memory>
#include <string>

#include "hotsync/transport/tcp_stream.h"
#include "hotsync/transport/transport.h"

namespace lumora::host {

class NetworkTransport final : public Transport {
 public:
  // stop: the flag that breaks off a HotSync in progress (Ctrl-C).
  NetworkTransport(std::unique_ptr<TcpListener> listener, bool serial, uint32_t maxBaud,
                   const volatile std::sig_atomic_t* stop);

  std::string announcement() const override;
  int waitFd() const override { return listener_->fd(); }
  void acceptNewUsers(bool yes) { acceptsNewUsers_ = yes; }
  HotSyncOutcome step(const LinkSessionOptions& shared) override;

 private:
  std::unique_ptr<TcpListener> listener_;
  bool serial_;
  uint32_t maxBaud_;
  bool local_;
  bool acceptsNewUsers_ = false;
  const volatile std::sig_atomic_t* stop_;
};

}  // namespace lumora::host
