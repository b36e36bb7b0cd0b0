#include "hotsync/transport/usb_arrivals.h"

#include <algorithm>
#include <cstring>

namespace lumora::host {
namespace {

constexpr size_t kFallbackPacket = 64;
// A bulk read asks for this many packets at once; fewer arrive when the device has fewer.
constexpr size_t kPacketsPerRead = 64;
constexpr int kStopSliceMs = 500;
constexpr uint8_t kStandardDeviceIn = 0x80;
constexpr uint8_t kStandardInterfaceIn = 0x81;
constexpr uint8_t kGetConfiguration = 0x08;
constexpr uint8_t kGetInterface = 0x0A;

std::string transferText(const UsbTransfer& got) {
  switch (got.status) {
    case UsbStatus::Stall:
      return "refused (stall)";
    case UsbStatus::Timeout:
      return "no answer in time";
    case UsbStatus::Gone:
      return "the device left the bus";
    default:
      return got.error.empty() ? std::string("failed") : got.error;
  }
}

// An answer of a vendor request, or why there is none.
std::optional<Bytes> askVendor(UsbHandle& handle, uint8_t request, uint16_t size,
                               std::string& error) {
  Bytes answer(size);
  UsbTransfer got = handle.controlIn(link::kUsbVendorIn, request, 0, 0, answer.data(), size,
                                     kUsbRequestTimeoutMs);
  if (got.status != UsbStatus::Ok) {
    error = transferText(got);
    return std::nullopt;
  }
  answer.resize(std::min<size_t>(got.count, size));
  return answer;
}

size_t packetOf(const std::vector<UsbBulkEndpoint>& bulk, uint8_t address) {
  for (const auto& e : bulk)
    if (e.address == address && e.maxPacket > 0) return e.maxPacket;
  return kFallbackPacket;
}

}  // namespace

UsbBulkStream::UsbBulkStream(std::unique_ptr<UsbHandle> handle, link::UsbEndpoints endpoints,
                             size_t packetSize)
    : handle_(std::move(handle)),
      endpoints_(endpoints),
      chunk_(std::max(packetSize, kFallbackPacket) * kPacketsPerRead) {}

link::StreamRead UsbBulkStream::read(uint8_t* buffer, size_t capacity, int timeoutMs) {
  if (capacity == 0) return {link::StreamStatus::Ok, 0};
  if (pendingAt_ == pending_.size()) {
    if (gone_) return {link::StreamStatus::Failed, 0};
    // In slices, so that a stop request is noticed during a long wait.
    UsbTransfer got;
    for (int left = timeoutMs;;) {
      if (stop_ && *stop_) return {link::StreamStatus::Failed, 0};
      const int slice = stop_ ? std::min(left, kStopSliceMs) : left;
      got = handle_->bulkIn(endpoints_.in, chunk_.data(), chunk_.size(), slice);
      left -= slice;
      if (got.status != UsbStatus::Timeout || left <= 0) break;
    }
    if (got.status == UsbStatus::Timeout) return {link::StreamStatus::Timeout, 0};
    if (got.status != UsbStatus::Ok) {
      gone_ = true;
      return {link::StreamStatus::Failed, 0};
    }
    if (got.count == 0) return {link::StreamStatus::Timeout, 0};
    pending_.assign(chunk_.begin(), chunk_.begin() + std::min(got.count, chunk_.size()));
    pendingAt_ = 0;
  }
  size_t n = std::min(capacity, pending_.size() - pendingAt_);
  std::memcpy(buffer, pending_.data() + pendingAt_, n);
  pendingAt_ += n;
  return {link::StreamStatus::Ok, n};
}

bool UsbBulkStream::write(ByteView bytes) {
  while (!bytes.empty() && !gone_) {
    UsbTransfer got = handle_->bulkOut(endpoints_.out, bytes, kUsbRequestTimeoutMs);
    if (got.status != UsbStatus::Ok && got.status != UsbStatus::Timeout) gone_ = true;
    if (got.count == 0) return false;
    bytes = bytes.subspan(std::min(got.count, bytes.size()));
  }
  return bytes.empty();
}

void UsbBulkStream::unread(ByteView bytes) {
  Bytes rest(bytes.begin(), bytes.end());
  rest.insert(rest.end(), pending_.begin() + static_cast<std::ptrdiff_t>(pendingAt_),
              pending_.end());
  pending_ = std::move(rest);
  pendingAt_ = 0;
}

std::optional<UsbHotSyncEndpoints> findHotSyncEndpoints(UsbHandle& handle, link::UsbSetup setup,
                                                        std::string& error) {
  const std::vector<UsbBulkEndpoint> bulk = handle.bulkEndpoints();
  std::string why;
  if (setup == link::UsbSetup::ConnectionInfo) {
    std::string failed;
    if (auto answer = askVendor(handle, link::kUsbGetExtConnectionInfo,
                                link::kUsbExtConnectionInfoSize, failed)) {
      auto found = link::decodeExtConnectionInfo(*answer);
      if (found)
        return UsbHotSyncEndpoints{*found, packetOf(bulk, 0x80 | found->in),
                                   UsbEndpointSource::ExtConnectionInfo};
      failed = found.error().message;
    } else {
      failed = "GetExtConnectionInfo: " + failed;
    }
    why = failed;
    if (auto answer =
            askVendor(handle, link::kUsbGetConnectionInfo, link::kUsbConnectionInfoSize, failed)) {
      auto found = link::decodeConnectionInfo(*answer);
      if (found) {
        // Some older devices send nothing before they were asked this.
        std::string ignored;
        askVendor(handle, link::kUsbGetNumBytesAvailable, link::kUsbNumBytesAvailableSize, ignored);
        return UsbHotSyncEndpoints{*found, packetOf(bulk, 0x80 | found->in),
                                   UsbEndpointSource::ConnectionInfo};
      }
      failed = found.error().message;
    } else {
      failed = "GetConnectionInfo: " + failed;
    }
    why += "; " + failed + "; ";
  } else if (setup == link::UsbSetup::EarlyClie) {
    uint8_t value = 0;
    handle.controlIn(kStandardDeviceIn, kGetConfiguration, 0, 0, &value, 1, kUsbRequestTimeoutMs);
    handle.controlIn(kStandardInterfaceIn, kGetInterface, 0, 0, &value, 1, kUsbRequestTimeoutMs);
  }
  std::optional<uint8_t> in, out;
  for (const auto& e : bulk) {
    if (e.maxPacket != kFallbackPacket) continue;
    auto& slot = (e.address & 0x80) ? in : out;
    if (!slot) slot = e.address & 0x0F;
  }
  if (in && out && *in && *out)
    return UsbHotSyncEndpoints{{*in, *out}, kFallbackPacket, UsbEndpointSource::BulkDescriptors};
  error = why + "no bulk endpoints of 64 bytes in both directions";
  return std::nullopt;
}

std::string usbLabel(link::UsbId id) {
  const link::KnownUsbDevice* known = link::findKnownUsbDevice(id);
  return "USB " + link::formatUsbId(id) + " (" + (known ? known->model : "not a known model") + ")";
}

UsbArrivals::UsbArrivals(UsbBus& bus, std::optional<link::UsbId> only) : bus_(bus), only_(only) {}

UsbArrival UsbArrivals::next() {
  UsbArrival out;
  std::string error;
  auto devices = bus_.devices(error);
  if (!devices) {
    out.kind = UsbArrival::Kind::BusFailed;
    out.line = "cannot look at the USB bus: " + error;
    return out;
  }
  // A device that left the bus may be served again when it comes back.
  std::erase_if(handled_, [&](const UsbDeviceInfo& d) {
    return std::find(devices->begin(), devices->end(), d) == devices->end();
  });
  for (const auto& device : *devices) {
    bool wanted = only_ ? device.id == *only_ : link::findKnownUsbDevice(device.id) != nullptr;
    if (!wanted || std::find(handled_.begin(), handled_.end(), device) != handled_.end()) continue;
    handled_.push_back(device);
    return openDevice(device);
  }
  return out;
}

UsbArrival UsbArrivals::openDevice(const UsbDeviceInfo& device) {
  UsbArrival out;
  out.device = device;
  out.known = link::findKnownUsbDevice(device.id);
  out.label = usbLabel(device.id);
  out.kind = UsbArrival::Kind::Refused;
  const std::string where = out.label + " on bus " + std::to_string(device.bus) + " device " +
                            std::to_string(device.address);
  std::string error;
  std::unique_ptr<UsbHandle> handle = bus_.open(device, error);
  if (!handle) {
    out.line = "cannot open " + where + ": " + error + "; copy the udev rules packaging/udev/" +
               link::kUdevRulesName +
               " to /etc/udev/rules.d/ (see README, USB HotSync) and press HotSync again";
    return out;
  }
  if (!handle->detachKernelDriver(error)) {
    out.line = "cannot take " + where + " from its kernel driver: " + error;
    return out;
  }
  if (!handle->claimInterface(error)) {
    out.line = "cannot claim " + where + ": " + error;
    return out;
  }
  const link::UsbSetup setup = out.known ? out.known->setup : link::UsbSetup::ConnectionInfo;
  auto found = findHotSyncEndpoints(*handle, setup, error);
  if (!found) {
    out.line = "no HotSync endpoints on " + where + ": " + error;
    return out;
  }
  out.stream =
      std::make_unique<UsbBulkStream>(std::move(handle), found->endpoints, found->packetSize);
  out.kind = UsbArrival::Kind::HotSync;
  return out;
}

}  // namespace lumora::host
