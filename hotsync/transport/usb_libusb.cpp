// The USB seam over libusb-1.0.
#include <libusb.h>

#include <filesystem>
#include <string>

#include "hotsync/transport/usb_device.h"

namespace lumora::host {
namespace {

constexpr const char* kUsbDeviceFolder = "/dev/bus/usb";

constexpr int kInterface = 0;

std::string describe(int code) {
  return libusb_strerror(static_cast<libusb_error>(code));
}

UsbTransfer transferResult(int code, int moved) {
  UsbTransfer out;
  out.count = moved > 0 ? static_cast<size_t>(moved) : 0;
  switch (code) {
    case LIBUSB_SUCCESS:
      out.status = UsbStatus::Ok;
      return out;
    case LIBUSB_ERROR_TIMEOUT:
      out.status = out.count ? UsbStatus::Ok : UsbStatus::Timeout;
      break;
    case LIBUSB_ERROR_PIPE:
      out.status = UsbStatus::Stall;
      break;
    case LIBUSB_ERROR_NO_DEVICE:
      out.status = UsbStatus::Gone;
      break;
    default:
      out.status = UsbStatus::Failed;
      break;
  }
  out.error = describe(code);
  return out;
}

class LibusbHandle final : public UsbHandle {
 public:
  LibusbHandle(libusb_device_handle* handle) : handle_(handle) {}
  ~LibusbHandle() override {
    releaseInterface();
    libusb_close(handle_);
  }

  bool detachKernelDriver(std::string& error) override {
    int active = libusb_kernel_driver_active(handle_, kInterface);
    if (active == 0 || active == LIBUSB_ERROR_NOT_SUPPORTED) return true;
    int code = active < 0 ? active : libusb_detach_kernel_driver(handle_, kInterface);
    if (code == LIBUSB_SUCCESS || code == LIBUSB_ERROR_NOT_FOUND) return true;
    error = describe(code);
    return false;
  }

  bool claimInterface(std::string& error) override {
    int code = libusb_claim_interface(handle_, kInterface);
    if (code != LIBUSB_SUCCESS) {
      error = describe(code);
      return false;
    }
    claimed_ = true;
    return true;
  }

  void releaseInterface() override {
    if (claimed_) libusb_release_interface(handle_, kInterface);
    claimed_ = false;
  }

  UsbTransfer controlIn(uint8_t requestType, uint8_t request, uint16_t value, uint16_t index,
                        uint8_t* data, uint16_t length, int timeoutMs) override {
    int got = libusb_control_transfer(handle_, requestType, request, value, index, data, length,
                                      static_cast<unsigned>(timeoutMs));
    return got < 0 ? transferResult(got, 0) : transferResult(LIBUSB_SUCCESS, got);
  }

  UsbTransfer bulkIn(uint8_t endpoint, uint8_t* data, size_t capacity, int timeoutMs) override {
    int moved = 0;
    int code =
        libusb_bulk_transfer(handle_, endpoint | LIBUSB_ENDPOINT_IN, data,
                             static_cast<int>(capacity), &moved, static_cast<unsigned>(timeoutMs));
    return transferResult(code, moved);
  }

  UsbTransfer bulkOut(uint8_t endpoint, ByteView data, int timeoutMs) override {
    int moved = 0;
    int code = libusb_bulk_transfer(handle_, endpoint & 0x0F, const_cast<uint8_t*>(data.data()),
                                    static_cast<int>(data.size()), &moved,
                                    static_cast<unsigned>(timeoutMs));
    return transferResult(code, moved);
  }

  std::vector<UsbBulkEndpoint> bulkEndpoints() override {
    std::vector<UsbBulkEndpoint> out;
    libusb_config_descriptor* config = nullptr;
    if (libusb_get_active_config_descriptor(libusb_get_device(handle_), &config) != 0) return out;
    if (config->bNumInterfaces > 0 && config->interface[0].num_altsetting > 0) {
      const libusb_interface_descriptor& setting = config->interface[0].altsetting[0];
      for (int i = 0; i < setting.bNumEndpoints; ++i) {
        const libusb_endpoint_descriptor& e = setting.endpoint[i];
        if ((e.bmAttributes & 0x03) == LIBUSB_TRANSFER_TYPE_BULK)
          out.push_back({e.bEndpointAddress, e.wMaxPacketSize});
      }
    }
    libusb_free_config_descriptor(config);
    return out;
  }

 private:
  libusb_device_handle* handle_;
  bool claimed_ = false;
};

class LibusbBus final : public UsbBus {
 public:
  explicit LibusbBus(libusb_context* context) : context_(context) {}
  ~LibusbBus() override { libusb_exit(context_); }

  std::optional<std::vector<UsbDeviceInfo>> devices(std::string& error) override {
    libusb_device** list = nullptr;
    ssize_t count = libusb_get_device_list(context_, &list);
    if (count < 0) {
      error = describe(static_cast<int>(count));
      return std::nullopt;
    }
    std::vector<UsbDeviceInfo> out;
    for (ssize_t i = 0; i < count; ++i) {
      libusb_device_descriptor descriptor{};
      if (libusb_get_device_descriptor(list[i], &descriptor) != 0) continue;
      out.push_back({{descriptor.idVendor, descriptor.idProduct},
                     libusb_get_bus_number(list[i]),
                     libusb_get_device_address(list[i])});
    }
    libusb_free_device_list(list, 1);
    return out;
  }

  std::unique_ptr<UsbHandle> open(const UsbDeviceInfo& device, std::string& error) override {
    libusb_device** list = nullptr;
    ssize_t count = libusb_get_device_list(context_, &list);
    if (count < 0) {
      error = describe(static_cast<int>(count));
      return nullptr;
    }
    std::unique_ptr<UsbHandle> out;
    error = "the device has left the bus";
    for (ssize_t i = 0; i < count; ++i) {
      if (libusb_get_bus_number(list[i]) != device.bus ||
          libusb_get_device_address(list[i]) != device.address)
        continue;
      libusb_device_handle* handle = nullptr;
      int code = libusb_open(list[i], &handle);
      if (code == LIBUSB_SUCCESS)
        out = std::make_unique<LibusbHandle>(handle);
      else
        error = describe(code);
      break;
    }
    libusb_free_device_list(list, 1);
    return out;
  }

 private:
  libusb_context* context_;
};

}  // namespace

std::unique_ptr<UsbBus> openLibusb(std::string& error) {
  // Without the kernel's USB device files libusb starts but never sees a device, so serve
  // would wait for ever (containers, machines without a USB controller).
  std::error_code ignored;
  if (!std::filesystem::exists(kUsbDeviceFolder, ignored)) {
    error = std::string("USB cannot be used here: this machine has no ") + kUsbDeviceFolder;
    return nullptr;
  }
  libusb_context* context = nullptr;
  int code = libusb_init(&context);
  if (code != LIBUSB_SUCCESS) {
    error = "USB cannot be used here: " + describe(code);
    return nullptr;
  }
  return std::make_unique<LibusbBus>(context);
}

}  // namespace lumora::host
