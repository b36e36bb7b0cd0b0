// lumora-bitmap encode: a picture file to the handheld bitmap the conduit would send.
#include <cstdio>

#include "bitmap/encoder.h"
#include "host/bitmap/commands.h"
#include "host/bitmap/options.h"
#include "platform/files/files.h"

namespace lumora::bitmaptool {
namespace {

constexpr const char* kUsage =
    "usage: lumora-bitmap encode IN OUT [--depth D] [--max-width W] [--max-height H]\n"
    "                        [--density N] [--compression C] [--fit] [--dither]\n"
    "\n"
    "Writes the handheld bitmap for the picture IN (.bmp, or JPEG, PNG or HEIF where this\n"
    "build reads them, told apart by content; turned upright, transparency on white) under\n"
    "the given device limits. Defaults are the conduit's: depth 16, maximum 160 x 160,\n"
    "density 144, compression 1.\n"
    "  --fit     scale a picture too large for the device down (aspect kept, never up) to\n"
    "            the largest size that fits the maxima in either orientation\n"
    "  --dither  at 8 bits, error diffusion onto the palette instead of the nearest colour\n"
    "\n"
    "Exit status: 0 written, 1 picture refused (unreadable, or over the size limit),\n"
    "2 usage or I/O error.\n";

struct NumericOption {
  const char* name;
  int64_t min;
  int64_t max;
};

constexpr NumericOption kOptions[] = {
    {"--depth", 0, 255},     {"--max-width", -32768, 32767}, {"--max-height", -32768, 32767},
    {"--density", 0, 65535}, {"--compression", 0, 255},
};

bool writeOut(const std::string& path, const Bytes& bytes) {
  auto out = files::fileSystem().createOutput(path, true);
  return out && out->write(bytes.data(), bytes.size()) && out->commit();
}

}  // namespace

int runEncode(const std::vector<std::string>& args) {
  std::set<std::string> valued;
  for (const auto& o : kOptions) valued.insert(o.name);
  Arguments a = parseArguments(args, valued, {"--fit", "--dither"});
  if (a.help) {
    std::fputs(kUsage, stdout);
    return kDone;
  }
  if (a.error.empty() && a.positional.size() != 2) a.error = "encode takes IN and OUT";

  DeviceCapabilities caps;
  caps.depth = 16;
  caps.maxWidth = 160;
  caps.maxHeight = 160;
  caps.density = 144;
  caps.compression = 1;
  for (const auto& o : kOptions) {
    auto it = a.values.find(o.name);
    if (it == a.values.end() || !a.error.empty()) continue;
    auto v = parseInteger(it->second, o.min, o.max);
    if (!v) {
      a.error = std::string(o.name) + " needs a whole number from " + std::to_string(o.min) +
                " to " + std::to_string(o.max) + ", not '" + it->second + "'";
      continue;
    }
    const std::string name = o.name;
    if (name == "--depth") caps.depth = static_cast<uint8_t>(*v);
    if (name == "--max-width") caps.maxWidth = static_cast<int16_t>(*v);
    if (name == "--max-height") caps.maxHeight = static_cast<int16_t>(*v);
    if (name == "--density") caps.density = static_cast<uint16_t>(*v);
    if (name == "--compression") caps.compression = static_cast<uint8_t>(*v);
  }
  if (!a.error.empty()) {
    complain(a.error);
    std::fputs(kUsage, stderr);
    return kUsageOrIo;
  }

  const std::string& in = a.positional[0];
  const std::string& out = a.positional[1];
  bitmap::EncodeOptions options;
  options.fit = a.flags.count("--fit") != 0;
  options.dither = a.flags.count("--dither") != 0;
  options.formats = picture::Formats::all;
  bitmap::EncodeResult r = bitmap::encodeFile(in, caps, options);
  switch (r.status) {
    case bitmap::EncodeStatus::encoded:
      break;
    case bitmap::EncodeStatus::cannotOpen:
      complain(in + ": " + r.reason);
      return kUsageOrIo;
    case bitmap::EncodeStatus::unreadable:
      complain(in + ": refused, not a readable picture: " + r.reason);
      return kRefused;
    case bitmap::EncodeStatus::tooLarge:
      complain(in + ": refused, over the size limit: " + r.reason);
      return kRefused;
  }
  if (!writeOut(out, r.bitmap)) {
    complain(out + ": cannot be written");
    return kUsageOrIo;
  }
  return kDone;
}

}  // namespace lumora::bitmaptool
