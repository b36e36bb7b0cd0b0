// lumora-bitmap encode: a picture file to the handheld bitmap the conduit would send.
#include <cstdio>

#include "host/bitmap/commands.h"
#include "host/bitmap/encode_options.h"
#include "platform/files/files.h"

namespace lumora::bitmaptool {
namespace {

constexpr const char* kUsage =
    "usage: lumora-bitmap encode IN OUT [--device FORMATDB.pdb] [--depth D] [--max-width W]\n"
    "                        [--max-height H] [--density N] [--compression C] [--fit]\n"
    "                        [--dither]\n"
    "\n"
    "Writes the handheld bitmap for the picture IN (.bmp, or JPEG, PNG or HEIF where this\n"
    "build reads them, told apart by content; turned upright, transparency on white) under\n"
    "the given device limits.\n";

bool writeOut(const std::string& path, const Bytes& bytes) {
  auto out = files::fileSystem().createOutput(path, true);
  return out && out->write(bytes.data(), bytes.size()) && out->commit();
}

}  // namespace

int runEncode(const std::vector<std::string>& args) {
  Arguments a = parseArguments(args, deviceValueOptions(), deviceSwitches());
  if (a.help) {
    printDeviceUsage(stdout, kUsage);
    return kDone;
  }
  if (a.error.empty() && a.positional.size() != 2) a.error = "encode takes IN and OUT";
  auto settings = deviceSettingsOrComplain(a, kUsage);
  if (!settings) return kUsageOrIo;

  const std::string& in = a.positional[0];
  const std::string& out = a.positional[1];
  int status = kDone;
  auto bitmap = encodeForDevice(in, *settings, &status);
  if (!bitmap) return status;
  if (!writeOut(out, *bitmap)) {
    complain(out + ": cannot be written");
    return kUsageOrIo;
  }
  return kDone;
}

}  // namespace lumora::bitmaptool
