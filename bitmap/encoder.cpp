#include "bitmap/encoder.h"

#include <array>
#include <cstring>

#include "bitmap/dither.h"
#include "bitmap/fit.h"
#include "bitmap/format.h"

namespace lumora::bitmap {
namespace {

constexpr int32_t kLargestSide = 32767;
// The coded form is kept only when the whole bitmap shrinks to 80 % or less.
constexpr uint64_t kCodedPercent = 80;

constexpr unsigned level(uint8_t component) {
  return component / 43u;
}

// colourToIndex split into one table per component, so the fill loop only adds.
struct IndexTables {
  std::array<uint8_t, 256> red{}, green{}, blue{};
  constexpr IndexTables() {
    for (unsigned v = 0; v < 256; ++v) {
      const unsigned l = level(static_cast<uint8_t>(v));
      const unsigned f = 5 - l;
      red[v] = static_cast<uint8_t>(18 * (5 - l));
      green[v] = static_cast<uint8_t>(5 - l);
      blue[v] = static_cast<uint8_t>(108 * (f / 3) + 6 * (f % 3));
    }
  }
};
constexpr IndexTables kIndexTables;

void fill8(const picture::Picture& p, uint8_t* out, size_t row) {
  const uint32_t* src = p.pixels.data();
  for (int32_t y = 0; y < p.height; ++y, out += row) {
    for (int32_t x = 0; x < p.width; ++x, ++src) {
      const uint32_t c = *src;
      out[x] =
          static_cast<uint8_t>(kIndexTables.red[c & 0xFF] + kIndexTables.green[(c >> 8) & 0xFF] +
                               kIndexTables.blue[(c >> 16) & 0xFF]);
    }
  }
}

void fill8Dithered(const picture::Picture& p, uint8_t* out, size_t row) {
  PaletteDither dither(p.width);
  const std::span<const uint32_t> all(p.pixels);
  for (int32_t y = 0; y < p.height; ++y, out += row)
    dither.row(all.subspan(size_t(y) * size_t(p.width), size_t(p.width)),
               std::span<uint8_t>(out, size_t(p.width)));
}

void fill16(const picture::Picture& p, uint8_t* out, size_t row) {
  const uint32_t* src = p.pixels.data();
  for (int32_t y = 0; y < p.height; ++y, out += row) {
    uint8_t* o = out;
    for (int32_t x = 0; x < p.width; ++x, ++src, o += 2) {
      const uint32_t c = *src;
      storeBe16(o, colourToRgb565(picture::redOf(c), picture::greenOf(c), picture::blueOf(c)));
    }
  }
}

EncodeResult refused(EncodeStatus status, std::string reason) {
  EncodeResult r;
  r.status = status;
  r.reason = std::move(reason);
  return r;
}

std::string tooLargeReason(int32_t width, int32_t height, unsigned depth,
                           const DeviceCapabilities& caps) {
  return std::to_string(width) + " x " + std::to_string(height) + " pixels at " +
         std::to_string(depth) + " bits exceed the handheld's limit of " +
         std::to_string(caps.maxWidth) + " x " + std::to_string(caps.maxHeight);
}

}  // namespace

uint8_t colourToIndex(uint8_t r, uint8_t g, uint8_t b) {
  const unsigned f = 5 - level(b);
  return static_cast<uint8_t>(108 * (f / 3) + 6 * (f % 3) + 18 * (5 - level(r)) + (5 - level(g)));
}

uint16_t colourToRgb565(uint8_t r, uint8_t g, uint8_t b) {
  return static_cast<uint16_t>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
}

unsigned chooseDepth(unsigned storedBitsPerPixel, uint8_t deviceDepth) {
  return storedBitsPerPixel > 8 && deviceDepth > 8 ? 16 : 8;
}

bool fitsDevice(int32_t width, int32_t height, unsigned depth, const DeviceCapabilities& caps) {
  if (width <= 0 || height <= 0 || width > kLargestSide || height > kLargestSide) return false;
  // A negative maximum must not turn into a huge unsigned limit.
  if (caps.maxWidth <= 0 || caps.maxHeight <= 0) return false;
  const uint64_t raw = uint64_t{rowLength(width, depth)} * static_cast<uint64_t>(height);
  const uint64_t limit = static_cast<uint64_t>(caps.maxWidth) *
                         static_cast<uint64_t>(caps.maxHeight) * (depth == 16 ? 2 : 1);
  return raw <= limit;
}

bool photoReadersBuilt() {
  return picture::formatSupported(picture::PictureFormat::Jpeg);
}

EncodeResult encodePicture(const picture::Picture& p, const DeviceCapabilities& caps,
                           const EncodeOptions& options) {
  if (p.width <= 0 || p.height <= 0 ||
      p.pixels.size() != static_cast<size_t>(p.width) * static_cast<size_t>(p.height))
    return refused(EncodeStatus::unreadable, "the picture has no pixels");
  const unsigned depth = chooseDepth(p.bitsPerPixel, caps.depth);
  if (options.fit) {
    if (auto to = sizeForDevice(p.width, p.height, depth, caps)) {
      picture::Picture scaled;
      scaled.width = to->width;
      scaled.height = to->height;
      scaled.bitsPerPixel = p.bitsPerPixel;
      scaled.pixels = scalePixels(p.pixels, {p.width, p.height}, *to);
      EncodeOptions rest = options;
      rest.fit = false;
      return encodePicture(scaled, caps, rest);
    }
  }
  if (!fitsDevice(p.width, p.height, depth, caps))
    return refused(EncodeStatus::tooLarge, tooLargeReason(p.width, p.height, depth, caps));

  const size_t row = rowLength(p.width, depth);
  const size_t raw = row * static_cast<size_t>(p.height);
  BitmapHeader header;
  header.width = static_cast<int16_t>(p.width);
  header.height = static_cast<int16_t>(p.height);
  header.bitsPerPixel = static_cast<uint8_t>(depth);
  header.bitmapVersion = caps.density == kDoubleDensity ? 3 : 2;
  header.pixelDensity = caps.density;
  header.rawSize = static_cast<uint32_t>(raw);

  EncodeResult result;
  result.status = EncodeStatus::encoded;
  Bytes& out = result.bitmap;
  out.resize(kHeaderSize + raw);
  auto fill = [&](uint8_t* plain) {
    if (depth == 16)
      fill16(p, plain, row);
    else if (options.dither)
      fill8Dithered(p, plain, row);
    else
      fill8(p, plain, row);
  };
  if (caps.compression == 0) {
    fill(out.data() + kHeaderSize);
  } else {
    Bytes plain(raw);
    fill(plain.data());
    const uint64_t bound = (kHeaderSize + uint64_t{raw}) * kCodedPercent / 100;
    std::optional<size_t> coded;
    if (bound > kHeaderSize) {
      // Coding stops as soon as it passes the bound; the plain form is stored then.
      coded = packRunsInto(plain, runUnitFor(depth),
                           std::span<uint8_t>(out).subspan(kHeaderSize, bound - kHeaderSize));
    }
    if (coded) {
      out.resize(kHeaderSize + *coded);
      header.compressionType = caps.compression;
    } else {
      std::memcpy(out.data() + kHeaderSize, plain.data(), raw);
    }
  }
  const auto bytes = buildHeader(header);
  std::memcpy(out.data(), bytes.data(), bytes.size());
  return result;
}

EncodeResult encodeFile(std::string_view path, const DeviceCapabilities& caps,
                        const EncodeOptions& options) {
  std::string reason;
  picture::LoadProblem problem = picture::LoadProblem::none;
  auto file = picture::openPicture(path, &reason, &problem, options.formats);
  if (!file) {
    return refused(problem == picture::LoadProblem::cannotRead ? EncodeStatus::cannotOpen
                                                               : EncodeStatus::unreadable,
                   reason);
  }
  const picture::PictureDescription& info = file->description;
  const unsigned depth = chooseDepth(info.bitsPerPixel, caps.depth);
  std::optional<Size> target;
  if (options.fit) target = sizeForDevice(info.width, info.height, depth, caps);
  if (!target && !fitsDevice(info.width, info.height, depth, caps))
    return refused(EncodeStatus::tooLarge, tooLargeReason(info.width, info.height, depth, caps));
  picture::DecodeHint hint;
  if (target) hint = {target->width, target->height};
  auto picture = picture::decodePicture(*file, options.limits, hint, &reason);
  if (!picture) return refused(EncodeStatus::unreadable, reason);
  file.reset();  // the file's bytes are no longer needed while the bitmap is built
  // Scaled to the size worked out from the full picture, whatever scale the reader chose.
  if (target && picture->width >= target->width && picture->height >= target->height &&
      (picture->width != target->width || picture->height != target->height)) {
    picture->pixels = scalePixels(picture->pixels, {picture->width, picture->height}, *target);
    picture->width = target->width;
    picture->height = target->height;
  }
  return encodePicture(*picture, caps, options);
}

EncodeResult encodeFile(std::string_view path, const DeviceCapabilities& caps,
                        picture::Formats formats) {
  EncodeOptions options;
  options.formats = formats;
  return encodeFile(path, caps, options);
}

std::optional<Bytes> encodeBitmap(std::string_view path, const DeviceCapabilities& caps,
                                  const EncodeOptions& options) {
  EncodeResult r = encodeFile(path, caps, options);
  if (r.status != EncodeStatus::encoded) return std::nullopt;
  return std::move(r.bitmap);
}

}  // namespace lumora::bitmap
