// lumora-bitmap preview: the picture as the handheld will show it, encoded as encode does
// and decoded back as the conduit would, written as a PNG file.
#include <cstdio>

#include "bitmap/bmp_file.h"
#include "bitmap/decoder.h"
#include "host/bitmap/commands.h"
#include "host/bitmap/encode_options.h"
#include "platform/picture/picture.h"
#include "platform/picture/png_writer.h"

namespace lumora::bitmaptool {
namespace {

constexpr const char* kUsage =
    "usage: lumora-bitmap preview IN OUT.png [--zoom N] [--device FORMATDB.pdb] [--depth D]\n"
    "                         [--max-width W] [--max-height H] [--density N]\n"
    "                         [--compression C] [--fit] [--dither]\n"
    "\n"
    "Writes the picture IN as the handheld will show it: encoded with the options of\n"
    "'lumora-bitmap encode', decoded back and written as a PNG file (replacing OUT.png).\n"
    "  --zoom N  every pixel as an N x N block (1 to 16), to see the pixels\n";

constexpr int64_t kMaxZoom = 16;

}  // namespace

int runPreview(const std::vector<std::string>& args) {
  auto valued = deviceValueOptions();
  valued.insert("--zoom");
  Arguments a = parseArguments(args, valued, deviceSwitches());
  if (a.help) {
    printDeviceUsage(stdout, kUsage);
    return kDone;
  }
  if (a.error.empty() && a.positional.size() != 2) a.error = "preview takes IN and OUT.png";
  int64_t zoom = 1;
  if (auto it = a.values.find("--zoom"); a.error.empty() && it != a.values.end()) {
    auto v = parseInteger(it->second, 1, kMaxZoom);
    if (!v)
      a.error = "--zoom needs a whole number from 1 to " + std::to_string(kMaxZoom) + ", not '" +
                it->second + "'";
    zoom = v.value_or(1);
  }
  auto settings = deviceSettingsOrComplain(a, kUsage);
  if (!settings) return kUsageOrIo;
  if (!picture::pngWriterBuilt()) {
    complain("PNG files cannot be written in this build");
    return kUsageOrIo;
  }

  const std::string& in = a.positional[0];
  const std::string& out = a.positional[1];
  int status = kDone;
  auto bitmap = encodeForDevice(in, *settings, &status);
  if (!bitmap) return status;
  std::string reason;
  auto decoder = bitmap::RowDecoder::open(*bitmap, bitmap::kHandheldPictureLimits, &reason);
  if (!decoder) {
    complain(in + ": refused, its handheld bitmap does not decode: " + reason);
    return kRefused;
  }
  const int64_t width = int64_t{decoder->width()} * zoom;
  const int64_t height = int64_t{decoder->height()} * zoom;
  if (uint64_t(width) * uint64_t(height) > picture::kMaxPicturePixels) {
    complain(in + ": refused, at --zoom " + std::to_string(zoom) + " the preview would be " +
             std::to_string(width) + " x " + std::to_string(height) + " pixels");
    return kRefused;
  }

  // The .bmp row the decoder writes, bottom-up and blue-green-red, read once per source row.
  Bytes bmpRow(bitmap::bmpRowLength(decoder->width()));
  int32_t haveRow = -1;
  const auto rows = [&](int32_t y, std::span<uint8_t> row) {
    const int32_t index = decoder->height() - 1 - static_cast<int32_t>(y / zoom);
    if (index != haveRow) decoder->bmpRow(haveRow = index, bmpRow);
    for (int32_t x = 0; x < decoder->width(); ++x) {
      const uint8_t* bgr = &bmpRow[size_t(x) * 3];
      uint8_t* rgb = &row[size_t(x) * size_t(zoom) * 3];
      for (int64_t i = 0; i < zoom; ++i, rgb += 3) {
        rgb[0] = bgr[2];
        rgb[1] = bgr[1];
        rgb[2] = bgr[0];
      }
    }
  };
  if (!picture::writePng(out, static_cast<int32_t>(width), static_cast<int32_t>(height), rows,
                         &reason)) {
    complain(out + ": " + reason);
    return kUsageOrIo;
  }
  return kDone;
}

}  // namespace lumora::bitmaptool
