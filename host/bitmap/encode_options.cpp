#include "host/bitmap/encode_options.h"

#include "host/bitmap/commands.h"
#include "hotsync/format/pdb_file.h"
#include "pictures/capability_record.h"
#include "platform/files/files.h"

namespace lumora::bitmaptool {
namespace {

struct NumericOption {
  const char* name;
  int64_t min;
  int64_t max;
};

constexpr NumericOption kOptions[] = {
    {"--depth", 0, 255},     {"--max-width", -32768, 32767}, {"--max-height", -32768, 32767},
    {"--density", 0, 65535}, {"--compression", 0, 255},
};

// A format database is a few hundred bytes; anything this large is something else.
constexpr uint64_t kMaxDeviceFileBytes = uint64_t{1} << 20;

std::optional<DeviceCapabilities> readDevice(const std::string& path, std::string* error) {
  auto bytes = files::readWholeFile(path, kMaxDeviceFileBytes);
  if (!bytes) {
    *error = path + ": cannot be read";
    return std::nullopt;
  }
  hotsync::PdbParseResult parsed = hotsync::parsePdb(*bytes);
  if (!parsed.database) {
    *error = path + ": not a Palm database file: " + parsed.error;
    return std::nullopt;
  }
  if (parsed.database->records.empty()) {
    *error = path + ": holds no capability record (record 0)";
    return std::nullopt;
  }
  // As the conduit reads it: a short record leaves the rest 0.
  return pictures::decodeCapabilityRecord(parsed.database->records.front().data);
}

}  // namespace

const char* const kDeviceOptionsHelp =
    "  --device FORMATDB.pdb  take the device from a handheld's format database\n"
    "            (record 0, its capability record); the options below replace its fields\n"
    "  --depth D, --max-width W, --max-height H, --density N, --compression C\n"
    "            the device's fields; without --device the conduit's defaults: depth 16,\n"
    "            maximum 160 x 160, density 144, compression 1\n"
    "  --fit     scale a picture larger than the maxima down (aspect kept, never up) to\n"
    "            the largest size inside them in either orientation\n"
    "  --dither  at 8 bits, error diffusion onto the palette instead of the nearest colour\n";

std::set<std::string> deviceValueOptions() {
  std::set<std::string> names{"--device"};
  for (const auto& o : kOptions) names.insert(o.name);
  return names;
}

std::set<std::string> deviceSwitches() {
  return {"--fit", "--dither"};
}

std::optional<DeviceSettings> deviceSettings(const Arguments& a, std::string* error, bool* usage) {
  *usage = true;
  DeviceSettings s;
  s.caps.depth = 16;
  s.caps.maxWidth = 160;
  s.caps.maxHeight = 160;
  s.caps.density = 144;
  s.caps.compression = 1;
  for (const auto& o : kOptions) {
    auto it = a.values.find(o.name);
    if (it != a.values.end() && !parseInteger(it->second, o.min, o.max)) {
      *error = std::string(o.name) + " needs a whole number from " + std::to_string(o.min) +
               " to " + std::to_string(o.max) + ", not '" + it->second + "'";
      return std::nullopt;
    }
  }
  if (auto it = a.values.find("--device"); it != a.values.end()) {
    *usage = false;
    auto device = readDevice(it->second, error);
    if (!device) return std::nullopt;
    s.caps = *device;
  }
  for (const auto& o : kOptions) {
    auto it = a.values.find(o.name);
    if (it == a.values.end()) continue;
    const int64_t v = *parseInteger(it->second, o.min, o.max);
    const std::string name = o.name;
    if (name == "--depth") s.caps.depth = static_cast<uint8_t>(v);
    if (name == "--max-width") s.caps.maxWidth = static_cast<int16_t>(v);
    if (name == "--max-height") s.caps.maxHeight = static_cast<int16_t>(v);
    if (name == "--density") s.caps.density = static_cast<uint16_t>(v);
    if (name == "--compression") s.caps.compression = static_cast<uint8_t>(v);
  }
  s.options.fit = a.flags.count("--fit") != 0;
  s.options.dither = a.flags.count("--dither") != 0;
  s.options.formats = picture::Formats::all;
  return s;
}

std::optional<Bytes> encodeForDevice(const std::string& in, const DeviceSettings& settings,
                                     int* exitCode) {
  bitmap::EncodeResult r = bitmap::encodeFile(in, settings.caps, settings.options);
  switch (r.status) {
    case bitmap::EncodeStatus::encoded:
      return std::move(r.bitmap);
    case bitmap::EncodeStatus::cannotOpen:
      complain(in + ": " + r.reason);
      *exitCode = kUsageOrIo;
      break;
    case bitmap::EncodeStatus::unreadable:
      complain(in + ": refused, not a readable picture: " + r.reason);
      *exitCode = kRefused;
      break;
    case bitmap::EncodeStatus::tooLarge:
      complain(in + ": refused, over the size limit: " + r.reason);
      *exitCode = kRefused;
      break;
  }
  return std::nullopt;
}

void printDeviceUsage(FILE* to, const char* usage) {
  std::fputs(usage, to);
  std::fputs(kDeviceOptionsHelp, to);
  std::fputs(
      "\n"
      "Exit status: 0 written, 1 picture refused (unreadable, or over the size limit),\n"
      "2 usage or I/O error.\n",
      to);
}

std::optional<DeviceSettings> deviceSettingsOrComplain(Arguments& a, const char* usage) {
  bool usageError = true;
  std::optional<DeviceSettings> settings;
  if (a.error.empty()) settings = deviceSettings(a, &a.error, &usageError);
  if (!settings) {
    complain(a.error);
    if (usageError) printDeviceUsage(stderr, usage);
  }
  return settings;
}

}  // namespace lumora::bitmaptool
