// The USB handhelds this desktop knows: ids, model, the framing each speaks inside USB and
// how its HotSync endpoints are found. The one list that the USB transport, the messages of
// `serve --usb` and the udev rules file are made from.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace lumora::link {

enum class UsbFraming { NetSync, Slp };

// How the HotSync endpoints are found once the interface is claimed.
enum class UsbSetup {
  ConnectionInfo,  // ask with the vendor's connection-info requests
  None,            // no request: the interface's bulk endpoints
  EarlyClie,       // GET_CONFIGURATION, GET_INTERFACE, then the bulk endpoints
};

struct UsbId {
  uint16_t vendor = 0;
  uint16_t product = 0;
  bool operator==(const UsbId&) const = default;
};

struct KnownUsbDevice {
  UsbId id;
  const char* model;
  UsbFraming framing;
  UsbSetup setup;
};

std::span<const KnownUsbDevice> knownUsbDevices();
const KnownUsbDevice* findKnownUsbDevice(UsbId id);

// "0830:0060": four lower-case hex digits each, as lsusb shows them.
std::string formatUsbId(UsbId id);
// The same form back, case-insensitive; nullopt for anything else.
std::optional<UsbId> parseUsbId(std::string_view text);

// The udev rules that let the logged-in user open every known device.
inline constexpr const char* kUdevRulesName = "60-lumora-handheld.rules";
std::string udevRules();

}  // namespace lumora::link
