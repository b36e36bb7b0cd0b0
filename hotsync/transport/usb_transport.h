// USB handhelds on a bus: the bus is looked at every so often; a device that comes runs its
// HotSync in the framing its table entry names (a device given by id only: the one its
// first bytes show), over its bulk endpoints.
#pragma once

#include <csignal>
#include <optional>
#include <string>

#include "hotsync/link/usb_devices.h"
#include "hotsync/transport/transport.h"
#include "hotsync/transport/usb_arrivals.h"
#include "hotsync/transport/usb_device.h"

namespace lumora::host {

class UsbTransport final : public Transport {
 public:
  // only: the one device to take, known or not; else every known one. bus outlives this.
  // stop: the flag that breaks off a HotSync in progress (Ctrl-C).
  UsbTransport(UsbBus& bus, std::optional<link::UsbId> only, const volatile std::sig_atomic_t* stop)
      : bus_(bus), only_(only), arrivals_(bus, only), stop_(stop) {}

  std::string announcement() const override;
  int waitFd() const override { return -1; }
  int pollIntervalMs() const override { return bus_.lookIntervalMs(); }
  HotSyncOutcome step(const LinkSessionOptions& options) override;

 private:
  UsbBus& bus_;
  std::optional<link::UsbId> only_;
  UsbArrivals arrivals_;
  const volatile std::sig_atomic_t* stop_;
};

}  // namespace lumora::host
