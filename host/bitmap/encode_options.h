// What encode and preview share: the device options (--depth ... --device) and encoding a
// picture file under them, with the same messages and exit statuses.
#pragma once

#include <cstdio>
#include <optional>
#include <set>
#include <string>

#include "bitmap/device_capabilities.h"
#include "bitmap/encoder.h"
#include "common/bytes.h"
#include "host/bitmap/options.h"

namespace lumora::bitmaptool {

// The help text's lines for the options below.
extern const char* const kDeviceOptionsHelp;

// A command's usage text, then the options' lines and the exit statuses both commands have.
void printDeviceUsage(FILE* to, const char* usage);

// Option names for parseArguments: those taking a value, and the switches.
std::set<std::string> deviceValueOptions();
std::set<std::string> deviceSwitches();

struct DeviceSettings {
  DeviceCapabilities caps;
  bitmap::EncodeOptions options;
};

// The settings the parsed options give: the conduit's defaults, or the capability record of
// the --device format database, with every numeric option given replacing its field. On
// failure error says why and usage whether the command line itself is wrong.
std::optional<DeviceSettings> deviceSettings(const Arguments& a, std::string* error, bool* usage);

// deviceSettings for a command whose own checks left a.error (empty when they passed):
// nullopt after complaining, with the usage text when the command line itself is wrong.
std::optional<DeviceSettings> deviceSettingsOrComplain(Arguments& a, const char* usage);

// Encodes the picture file in, complaining as encode does; exitCode is set when it fails.
std::optional<Bytes> encodeForDevice(const std::string& in, const DeviceSettings& settings,
                                     int* exitCode);

}  // namespace lumora::bitmaptool
