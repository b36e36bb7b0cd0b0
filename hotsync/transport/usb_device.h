// USB as the HotSync transport needs it, behind one small interface: the devices on the
// bus, and for an opened one its kernel driver, interface 0, its bulk endpoints and
// transfers with a time-out. One implementation talks to libusb-1.0; tests use a
// scripted one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/bytes.h"
#include "hotsync/link/usb_devices.h"

namespace lumora::host {

struct UsbDeviceInfo {
  link::UsbId id;
  uint8_t bus = 0;
  uint8_t address = 0;
  bool operator==(const UsbDeviceInfo&) const = default;
};

struct UsbBulkEndpoint {
  uint8_t address = 0;  // with the direction bit: 0x80 and up is IN
  uint16_t maxPacket = 0;
};

enum class UsbStatus {
  Ok,
  Timeout,  // nothing moved in time
  Stall,    // the device refused the request
  Gone,     // the device left the bus
  Failed,   // anything else
};

struct UsbTransfer {
  UsbStatus status = UsbStatus::Failed;
  size_t count = 0;   // bytes moved
  std::string error;  // the library's text, when status is not Ok
};

// An opened device; closing it (the destructor) releases a claimed interface.
class UsbHandle {
 public:
  virtual ~UsbHandle() = default;
  // Detaches the kernel driver bound to interface 0, if one is.
  virtual bool detachKernelDriver(std::string& error) = 0;
  virtual bool claimInterface(std::string& error) = 0;
  virtual void releaseInterface() = 0;
  virtual UsbTransfer controlIn(uint8_t requestType, uint8_t request, uint16_t value,
                                uint16_t index, uint8_t* data, uint16_t length, int timeoutMs) = 0;
  virtual UsbTransfer bulkIn(uint8_t endpoint, uint8_t* data, size_t capacity, int timeoutMs) = 0;
  virtual UsbTransfer bulkOut(uint8_t endpoint, ByteView data, int timeoutMs) = 0;
  // The bulk endpoints of interface 0 in its current setting.
  virtual std::vector<UsbBulkEndpoint> bulkEndpoints() = 0;
};

class UsbBus {
 public:
  virtual ~UsbBus() = default;
  // The devices on the bus now; nullopt (and error) when the bus cannot be read.
  virtual std::optional<std::vector<UsbDeviceInfo>> devices(std::string& error) = 0;
  // nullptr and the library's reason when the device cannot be opened.
  virtual std::unique_ptr<UsbHandle> open(const UsbDeviceInfo& device, std::string& error) = 0;
  // How long serve waits between two looks at the bus.
  virtual int lookIntervalMs() const { return 500; }
};

// The bus through libusb-1.0; nullptr and why when this build or machine has no USB.
std::unique_ptr<UsbBus> openLibusb(std::string& error);

}  // namespace lumora::host
