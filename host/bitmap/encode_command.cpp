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

constexpr const char* kExitStatus =
    "\n"
    "Exit status: 0 written, 1 picture refused (unreadable, or over the size limit),\n"
    "2 usage or I/O error.\n";

bool writeOut(const std::string& path, const Bytes& bytes) {
  auto out = files::fileSystem().createOutput(path, true);
  return out && out->write(bytes.data(), bytes.size()) && out->commit();
}

void usage(FILE* to) {
  std::fputs(kUsage, to);
  std::fputs(kDeviceOptionsHelp, to);
  std::fputs(kExitStatus, to);
}

}  // namespace

int runEncode(const std::vector<std::string>& args) {
  Arguments a = parseArguments(args, deviceValueOptions(), deviceSwitches());
  if (a.help) {
    usage(stdout);
    return kDone;
  }
  if (a.error.empty() && a.positional.size() != 2) a.error = "encode takes IN and OUT";
  bool usageError = true;
  std::optional<DeviceSettings> settings;
  if (a.error.empty()) settings = deviceSettings(a, &a.error, &usageError);
  if (!settings) {
    complain(a.error);
    if (usageError) usage(stderr);
    return kUsageOrIo;
  }

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
