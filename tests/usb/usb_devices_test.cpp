#include "hotsync/link/usb_devices.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>

namespace lumora::link {
namespace {

TEST(UsbDevices, EveryIdOnceWithAModel) {
  std::set<std::pair<uint16_t, uint16_t>> seen;
  for (const auto& device : knownUsbDevices()) {
    EXPECT_TRUE(seen.insert({device.id.vendor, device.id.product}).second)
        << formatUsbId(device.id) << " twice";
    EXPECT_NE(std::string(device.model), "") << formatUsbId(device.id);
  }
}

TEST(UsbDevices, FramingAndSetUpOfTheSpecialModels) {
  struct Case {
    UsbId id;
    UsbFraming framing;
    UsbSetup setup;
  };
  const Case cases[] = {
      {{0x082d, 0x0100}, UsbFraming::Slp, UsbSetup::ConnectionInfo},      // Visor
      {{0x0830, 0x0080}, UsbFraming::NetSync, UsbSetup::None},            // m100
      {{0x054c, 0x0038}, UsbFraming::NetSync, UsbSetup::EarlyClie},       // early Clie
      {{0x054c, 0x009a}, UsbFraming::NetSync, UsbSetup::EarlyClie},       // NR70
      {{0x0830, 0x0060}, UsbFraming::NetSync, UsbSetup::ConnectionInfo},  // Tungsten
      {{0x082d, 0x0300}, UsbFraming::NetSync, UsbSetup::ConnectionInfo},  // Treo 600
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(formatUsbId(c.id));
    const KnownUsbDevice* device = findKnownUsbDevice(c.id);
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(device->framing, c.framing);
    EXPECT_EQ(device->setup, c.setup);
  }
  EXPECT_EQ(findKnownUsbDevice({0x0830, 0x0004}), nullptr);
  EXPECT_EQ(findKnownUsbDevice({0x1d6b, 0x0002}), nullptr);  // a root hub
}

TEST(UsbDevices, IdsReadAndWriteAsLsusbShowsThem) {
  struct Case {
    const char* text;
    std::optional<UsbId> want;
  };
  const Case cases[] = {
      {"0830:0060", UsbId{0x0830, 0x0060}},
      {"081E:DF00", UsbId{0x081e, 0xdf00}},
      {"0830-0060", std::nullopt},
      {"830:60", std::nullopt},
      {"0830:00600", std::nullopt},
      {"08g0:0060", std::nullopt},
      {":", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(parseUsbId(c.text), c.want);
  }
  EXPECT_EQ(formatUsbId({0x081e, 0xdf00}), "081e:df00");
}

// The shipped rules file is the one made from the table: a device added to the table
// without its rule could not be opened by a desktop user.
TEST(UsbDevices, ShippedUdevRulesMatchTheTable) {
  const std::string path = std::string(LUMORA_SOURCE_DIR) + "/packaging/udev/" + kUdevRulesName;
  std::ifstream file(path, std::ios::binary);
  ASSERT_TRUE(file) << path;
  std::stringstream text;
  text << file.rdbuf();
  EXPECT_EQ(text.str(), udevRules()) << "write udevRules() into " << path;
  size_t rules = 0;
  for (std::string line; std::getline(text, line);) {
    if (line.empty() || line[0] == '#') continue;
    ++rules;
    EXPECT_NE(line.find("SUBSYSTEM==\"usb\""), std::string::npos) << line;
    EXPECT_NE(line.find("TAG+=\"uaccess\""), std::string::npos) << line;
  }
  EXPECT_EQ(rules, knownUsbDevices().size());
}

}  // namespace
}  // namespace lumora::link
