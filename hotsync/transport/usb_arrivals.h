// HotSync over native USB: finds a handheld on the bus (a known one, or the one asked for),
// opens it, claims interface 0, finds its HotSync endpoints and hands back a byte stream
// over its bulk endpoints. Every device is handled once while it stays on the bus: after a
// HotSync a handheld leaves the bus by itself, and one that could not be used is not tried
// again until it comes back.
#pragma once

#include <csignal>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "hotsync/link/stream.h"
#include "hotsync/link/usb_connection_info.h"
#include "hotsync/link/usb_devices.h"
#include "hotsync/transport/usb_device.h"

namespace lumora::host {

// The time-out of a control request and of a bulk write.
inline constexpr int kUsbRequestTimeoutMs = 2000;

// The framing's bytes over the HotSync bulk endpoints of an opened device.
class UsbBulkStream final : public link::ByteStream {
 public:
  UsbBulkStream(std::unique_ptr<UsbHandle> handle, link::UsbEndpoints endpoints, size_t packetSize);
  link::StreamRead read(uint8_t* buffer, size_t capacity, int timeoutMs) override;
  bool write(ByteView bytes) override;
  // Puts bytes back in front of what the device sends next.
  void unread(ByteView bytes);
  // A read gives up (Failed) soon after *flag becomes non-zero (Ctrl-C).
  void stopWhen(const volatile std::sig_atomic_t* flag) { stop_ = flag; }

 private:
  std::unique_ptr<UsbHandle> handle_;
  link::UsbEndpoints endpoints_;
  Bytes chunk_;    // one bulk read, at least a packet
  Bytes pending_;  // read but not yet handed out
  size_t pendingAt_ = 0;
  bool gone_ = false;
  const volatile std::sig_atomic_t* stop_ = nullptr;
};

// Where the endpoints came from, for tests and messages.
enum class UsbEndpointSource { ExtConnectionInfo, ConnectionInfo, BulkDescriptors };

struct UsbHotSyncEndpoints {
  link::UsbEndpoints endpoints;
  size_t packetSize = 64;
  UsbEndpointSource source = UsbEndpointSource::BulkDescriptors;
};

// Asks an opened, claimed device for its HotSync endpoints as setup says: the connection
// info requests (extended form first), else the interface's 64-byte bulk endpoints.
// nullopt and why when none can be found.
std::optional<UsbHotSyncEndpoints> findHotSyncEndpoints(UsbHandle& handle, link::UsbSetup setup,
                                                        std::string& error);

struct UsbArrival {
  enum class Kind {
    None,       // no new device on the bus
    HotSync,    // stream is ready
    Refused,    // a device that cannot be used; line says why
    BusFailed,  // the bus cannot be read; line says why
  };
  Kind kind = Kind::None;
  UsbDeviceInfo device;
  std::string label;                            // "USB 0830:0060 (Tungsten series, Zire 71)"
  const link::KnownUsbDevice* known = nullptr;  // nullptr: a device given by id only
  std::unique_ptr<UsbBulkStream> stream;
  std::string line;
};

class UsbArrivals {
 public:
  // only: the one device to accept, known or not; else every known device.
  UsbArrivals(UsbBus& bus, std::optional<link::UsbId> only);

  // Looks at the bus once and opens the first device not handled yet.
  UsbArrival next();

 private:
  UsbArrival openDevice(const UsbDeviceInfo& device);

  UsbBus& bus_;
  std::optional<link::UsbId> only_;
  std::vector<UsbDeviceInfo> handled_;  // still on the bus
};

// The label of a device in messages: "USB VID:PID (MODEL)".
std::string usbLabel(link::UsbId id);

}  // namespace lumora::host
