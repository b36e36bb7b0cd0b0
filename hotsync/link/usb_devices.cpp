#include "hotsync/link/usb_devices.h"

#include <cstdio>

namespace lumora::link {
namespace {

constexpr UsbFraming kNet = UsbFraming::NetSync;
constexpr UsbSetup kAsk = UsbSetup::ConnectionInfo;

constexpr KnownUsbDevice kDevices[] = {
    {{0x0830, 0x0001}, "Palm m500", kNet, kAsk},
    {{0x0830, 0x0002}, "Palm m505", kNet, kAsk},
    {{0x0830, 0x0003}, "Palm m515", kNet, kAsk},
    {{0x0830, 0x0010}, "Palm handheld", kNet, kAsk},
    {{0x0830, 0x0011}, "Palm handheld", kNet, kAsk},
    {{0x0830, 0x0020}, "Palm i705", kNet, kAsk},
    {{0x0830, 0x0030}, "Tungsten Z", kNet, kAsk},
    {{0x0830, 0x0031}, "Tungsten W", kNet, kAsk},
    {{0x0830, 0x0040}, "Palm m125", kNet, kAsk},
    {{0x0830, 0x0050}, "Palm m130", kNet, kAsk},
    {{0x0830, 0x0051}, "Palm handheld", kNet, kAsk},
    {{0x0830, 0x0052}, "Palm handheld", kNet, kAsk},
    {{0x0830, 0x0053}, "Palm handheld", kNet, kAsk},
    {{0x0830, 0x0060}, "Tungsten series, Zire 71", kNet, kAsk},
    {{0x0830, 0x0061}, "Zire 31, 72, Z22", kNet, kAsk},
    {{0x0830, 0x0062}, "Palm handheld", kNet, kAsk},
    {{0x0830, 0x0063}, "Palm handheld", kNet, kAsk},
    {{0x0830, 0x0070}, "Zire", kNet, kAsk},
    {{0x0830, 0x0071}, "Palm handheld", kNet, kAsk},
    {{0x0830, 0x0080}, "Palm m100", kNet, UsbSetup::None},
    {{0x0830, 0x0099}, "Palm handheld", kNet, kAsk},
    {{0x0830, 0x0100}, "Palm handheld", kNet, kAsk},
    {{0x082d, 0x0100}, "Visor, Treo 300", UsbFraming::Slp, kAsk},
    {{0x082d, 0x0200}, "Treo", kNet, kAsk},
    {{0x082d, 0x0300}, "Treo 600", kNet, kAsk},
    {{0x054c, 0x0038}, "Clie S300 (Palm OS 3.5)", kNet, UsbSetup::EarlyClie},
    {{0x054c, 0x009a}, "Clie NR70V/U", kNet, UsbSetup::EarlyClie},
    {{0x054c, 0x0066}, "Clie T, SJ", kNet, kAsk},
    {{0x054c, 0x000a}, "Clie NR", kNet, kAsk},
    {{0x054c, 0x0095}, "Clie S360", kNet, kAsk},
    {{0x054c, 0x00da}, "Clie NX", kNet, kAsk},
    {{0x054c, 0x00e9}, "Clie NZ", kNet, kAsk},
    {{0x054c, 0x0144}, "Clie UX", kNet, kAsk},
    {{0x054c, 0x0169}, "Clie TJ", kNet, kAsk},
    {{0x081e, 0xdf00}, "Dana", kNet, kAsk},
    {{0x091e, 0x0004}, "iQue 3600", kNet, kAsk},
    {{0x0c88, 0x0021}, "Kyocera 7135", kNet, kAsk},
    {{0x0c88, 0xa226}, "Kyocera 6035", kNet, kAsk},
    {{0x12ef, 0x0100}, "Zodiac", kNet, kAsk},
    {{0x4766, 0x0001}, "MEZ1000", kNet, kAsk},
    {{0x04e8, 0x8001}, "i330", kNet, kAsk},
};

std::optional<uint16_t> parseHex16(std::string_view text) {
  if (text.size() != 4) return std::nullopt;
  uint16_t value = 0;
  for (char c : text) {
    int digit = c >= '0' && c <= '9'   ? c - '0'
                : c >= 'a' && c <= 'f' ? c - 'a' + 10
                : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                       : -1;
    if (digit < 0) return std::nullopt;
    value = static_cast<uint16_t>(value * 16 + digit);
  }
  return value;
}

}  // namespace

std::span<const KnownUsbDevice> knownUsbDevices() {
  return kDevices;
}

const KnownUsbDevice* findKnownUsbDevice(UsbId id) {
  for (const auto& device : kDevices)
    if (device.id == id) return &device;
  return nullptr;
}

std::string formatUsbId(UsbId id) {
  char text[10];
  std::snprintf(text, sizeof text, "%04x:%04x", id.vendor, id.product);
  return text;
}

std::optional<UsbId> parseUsbId(std::string_view text) {
  size_t colon = text.find(':');
  if (colon == std::string_view::npos) return std::nullopt;
  auto vendor = parseHex16(text.substr(0, colon));
  auto product = parseHex16(text.substr(colon + 1));
  if (!vendor || !product) return std::nullopt;
  return UsbId{*vendor, *product};
}

std::string udevRules() {
  std::string out =
      "# Lets the logged-in user open the USB handhelds that `lumora-hotsync serve --usb`\n"
      "# knows. Install: sudo cp " +
      std::string(kUdevRulesName) +
      " /etc/udev/rules.d/\n"
      "#   && sudo udevadm control --reload && sudo udevadm trigger\n"
      "# Made from the device table in hotsync/link/usb_devices.cpp; a test checks that they\n"
      "# agree.\n";
  for (const auto& device : kDevices) {
    const std::string id = formatUsbId(device.id);
    out += "# " + std::string(device.model) + "\nSUBSYSTEM==\"usb\", ATTR{idVendor}==\"" +
           id.substr(0, 4) + "\", ATTR{idProduct}==\"" + id.substr(5) + "\", TAG+=\"uaccess\"\n";
  }
  return out;
}

}  // namespace lumora::link
