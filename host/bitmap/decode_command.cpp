// lumora-bitmap decode: a handheld bitmap to the 24-bit .bmp file the conduit would write.
#include <cstdio>

#include "bitmap/decoder.h"
#include "host/bitmap/commands.h"
#include "host/bitmap/options.h"
#include "platform/files/files.h"

namespace lumora::bitmaptool {
namespace {

constexpr const char* kUsage =
    "usage: lumora-bitmap decode IN OUT.bmp [--overwrite]\n"
    "\n"
    "Writes the handheld bitmap IN as a 24-bit .bmp file. An existing OUT.bmp is kept\n"
    "unless --overwrite is given. A bitmap larger than a handheld holds (over 64 MiB of\n"
    "pixel data or of .bmp rows) is refused.\n"
    "\n"
    "Exit status: 0 written, 1 bitmap refused or OUT.bmp not written, 2 usage or I/O error.\n";

// Larger than any bitmap a handheld can hold.
constexpr uint64_t kMaxBitmapBytes = uint64_t{256} << 20;

}  // namespace

int runDecode(const std::vector<std::string>& args) {
  Arguments a = parseArguments(args, {}, {"--overwrite"});
  if (a.help) {
    std::fputs(kUsage, stdout);
    return kDone;
  }
  if (a.error.empty() && a.positional.size() != 2) a.error = "decode takes IN and OUT.bmp";
  if (!a.error.empty()) {
    complain(a.error);
    std::fputs(kUsage, stderr);
    return kUsageOrIo;
  }
  const std::string& in = a.positional[0];
  const std::string& out = a.positional[1];
  const bool overwrite = a.flags.count("--overwrite") != 0;

  auto bytes = files::readWholeFile(in, kMaxBitmapBytes);
  if (!bytes) {
    complain(in + ": cannot be read");
    return kUsageOrIo;
  }
  std::string reason;
  if (!bitmap::decodeBitmap(*bytes, out, overwrite, bitmap::kHandheldPictureLimits, &reason)) {
    if (!reason.empty())
      complain(in + ": refused: " + reason);
    else if (!overwrite && files::fileSystem().existsForRead(out))
      complain(out + ": exists; give --overwrite to replace it");
    else
      complain(out + ": cannot be written");
    return kRefused;
  }
  return kDone;
}

}  // namespace lumora::bitmaptool
