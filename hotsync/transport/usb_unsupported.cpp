// Builds without libusb-1.0 (Windows, or a Linux without its development files).
#include "hotsync/transport/usb_device.h"

namespace lumora::host {

std::unique_ptr<UsbBus> openLibusb(std::string& error) {
  error = "USB HotSync is not supported by this build";
  return nullptr;
}

}  // namespace lumora::host
