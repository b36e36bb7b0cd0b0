// lumora-bitmap info: the header fields of a handheld bitmap, what the .bmp reader sees in
// a .bmp file, or the format, upright size and orientation of a photo, one "key: value" per
// line.
#include <cstdio>

#include "bitmap/format.h"
#include "host/bitmap/commands.h"
#include "host/bitmap/options.h"
#include "platform/files/files.h"
#include "platform/picture/picture.h"

namespace lumora::bitmaptool {
namespace {

constexpr const char* kUsage =
    "usage: lumora-bitmap info FILE\n"
    "\n"
    "Prints the header fields of a handheld bitmap, the size, stored depth and\n"
    "compression of a .bmp file, or the format, upright size, orientation tag, stored\n"
    "depth and transparency of a JPEG, PNG or HEIF file, one 'key: value' per line.\n"
    "\n"
    "Exit status: 0 read, 1 not a readable bitmap, 2 usage or I/O error.\n";

constexpr uint64_t kMaxFileBytes = picture::kMaxPictureFileBytes;

void line(const char* key, const std::string& value) {
  std::printf("%s: %s\n", key, value.c_str());
}
void line(const char* key, int64_t value) {
  line(key, std::to_string(value));
}

int showBmp(const std::string& path, const Bytes& bytes) {
  std::string reason;
  auto info = picture::describeBmp(bytes, &reason);
  if (!info) {
    complain(path + ": not a readable .bmp file: " + reason);
    return kRefused;
  }
  line("format", "bmp");
  line("width", info->width);
  line("height", info->height);
  line("bitsPerPixel", info->bitsPerPixel);
  line("compression", picture::compressionName(info->compression));
  line("headerSize", info->headerSize);
  line("rowOrder", info->topDown ? "top-down" : "bottom-up");
  line("paletteEntries", info->paletteEntries);
  line("pixelOffset", info->pixelOffset);
  line("fileSize", static_cast<int64_t>(bytes.size()));
  return kDone;
}

int showPhoto(const std::string& path, const Bytes& bytes) {
  std::string reason;
  auto d = picture::describePicture(bytes, &reason);
  if (!d) {
    complain(path + ": not a readable picture: " + reason);
    return kRefused;
  }
  std::string format = picture::formatName(d->format);
  for (char& c : format) c = static_cast<char>(c - 'A' + 'a');
  line("format", format);
  line("width", d->width);
  line("height", d->height);
  line("orientation", d->orientation);
  line("bitsPerPixel", d->bitsPerPixel);
  line("alpha", d->alpha ? "yes" : "no");
  line("fileSize", static_cast<int64_t>(bytes.size()));
  return kDone;
}

int showBitmap(const std::string& path, const Bytes& bytes) {
  std::string reason;
  auto layout = bitmap::parseLayout(bytes, &reason);
  if (!layout) {
    complain(path + ": not a readable handheld bitmap: " + reason);
    return kRefused;
  }
  const bitmap::BitmapHeader& h = layout->header;
  line("format", "handheld bitmap");
  line("layout", layout->current ? "version 2" : "older");
  line("headerSize", h.headerSize);
  line("version", h.version);
  line("width", h.width);
  line("height", h.height);
  line("bitsPerPixel", h.bitsPerPixel);
  if (layout->current) {
    line("bitmapVersion", h.bitmapVersion);
    line("pixelDensity", h.pixelDensity);
    line("compressionType", h.compressionType);
    line("rawSize", h.rawSize);
  }
  line("rowLength", static_cast<int64_t>(layout->rowStride));
  line("dataSize", static_cast<int64_t>(bytes.size()));
  return kDone;
}

}  // namespace

int runInfo(const std::vector<std::string>& args) {
  Arguments a = parseArguments(args, {}, {});
  if (a.help) {
    std::fputs(kUsage, stdout);
    return kDone;
  }
  if (a.error.empty() && a.positional.size() != 1) a.error = "info takes one FILE";
  if (!a.error.empty()) {
    complain(a.error);
    std::fputs(kUsage, stderr);
    return kUsageOrIo;
  }
  const std::string& path = a.positional[0];
  auto bytes = files::readWholeFile(path, kMaxFileBytes);
  if (!bytes) {
    complain(path + ": cannot be read");
    return kUsageOrIo;
  }
  switch (picture::sniffFormat(*bytes)) {
    case picture::PictureFormat::Bmp:
      return showBmp(path, *bytes);
    case picture::PictureFormat::Unknown:
      return showBitmap(path, *bytes);
    default:
      return showPhoto(path, *bytes);
  }
}

}  // namespace lumora::bitmaptool
