#include "bitmap/decoder.h"

#include <algorithm>
#include <array>

#include "bitmap/bmp_file.h"

namespace lumora::bitmap {
namespace {

using Bgr = std::array<uint8_t, 3>;

Rgb fromRgb565(uint16_t v) {
  return {static_cast<uint8_t>((v >> 11) << 3), static_cast<uint8_t>(((v >> 5) & 0x3F) << 2),
          static_cast<uint8_t>((v & 0x1F) << 3)};
}

// Palette of a depth as .bmp byte triples, indexed by the pixel value.
template <size_t N>
std::array<Bgr, N> bgrTable(unsigned bitsPerPixel) {
  std::array<Bgr, N> t{};
  for (size_t i = 0; i < N; ++i) {
    Rgb c = pixelToColour(static_cast<uint16_t>(i), bitsPerPixel);
    t[i] = {c.b, c.g, c.r};
  }
  return t;
}

void convert8(const uint8_t* src, uint8_t* dst, int32_t width) {
  static const auto table = bgrTable<256>(8);
  for (int32_t x = 0; x < width; ++x, dst += 3) {
    const Bgr& c = table[src[x]];
    dst[0] = c[0];
    dst[1] = c[1];
    dst[2] = c[2];
  }
}

void convert16(const uint8_t* src, uint8_t* dst, int32_t width) {
  for (int32_t x = 0; x < width; ++x, src += 2, dst += 3) {
    const unsigned v = (unsigned{src[0]} << 8) | src[1];
    dst[0] = static_cast<uint8_t>((v & 0x1F) << 3);
    dst[1] = static_cast<uint8_t>(((v >> 5) & 0x3F) << 2);
    dst[2] = static_cast<uint8_t>((v >> 11) << 3);
  }
}

// 1, 2 and 4 bits: the leftmost pixel in the most significant bits of a byte.
void convertPacked(const uint8_t* src, uint8_t* dst, int32_t width, unsigned bpp) {
  static const auto mono = bgrTable<2>(1);
  static const auto grey2 = bgrTable<4>(2);
  static const auto grey4 = bgrTable<16>(4);
  const Bgr* table = bpp == 1 ? mono.data() : bpp == 2 ? grey2.data() : grey4.data();
  const unsigned mask = (1u << bpp) - 1;
  for (int32_t x = 0; x < width; ++x, dst += 3) {
    const size_t bit = static_cast<size_t>(x) * bpp;
    const Bgr& c = table[(src[bit >> 3] >> (8 - bpp - (bit & 7))) & mask];
    dst[0] = c[0];
    dst[1] = c[1];
    dst[2] = c[2];
  }
}

bool refuse(std::string* reason, std::string text) {
  if (reason) *reason = std::move(text);
  return false;
}

bool withinLimits(const BitmapLayout& layout, const DecodeLimits& limits, std::string* reason) {
  if (layout.width > limits.maxWidth || layout.height > limits.maxHeight) {
    return refuse(reason, "is " + std::to_string(layout.width) + " x " +
                              std::to_string(layout.height) + " pixels, more than " +
                              std::to_string(limits.maxWidth) + " x " +
                              std::to_string(limits.maxHeight));
  }
  const uint64_t bmpBytes = uint64_t{bmpRowLength(layout.width)} * uint64_t(layout.height);
  for (uint64_t bytes : {uint64_t{layout.plainSize}, bmpBytes}) {
    if (bytes > limits.maxOutputBytes) {
      return refuse(reason, "needs " + std::to_string(bytes) + " bytes, more than " +
                                std::to_string(limits.maxOutputBytes));
    }
  }
  return true;
}

}  // namespace

Rgb pixelToColour(uint16_t value, unsigned bitsPerPixel) {
  if (bitsPerPixel > 8) return fromRgb565(value);
  auto table = colourTable(bitsPerPixel);
  if (table.empty()) return {};
  return table[value & (table.size() - 1)];
}

std::optional<RowDecoder> RowDecoder::open(ByteView bitmap, const DecodeLimits& limits,
                                           std::string* reason) {
  auto layout = parseLayout(bitmap, reason);
  if (!layout || !withinLimits(*layout, limits, reason)) return std::nullopt;
  RowDecoder decoder(bitmap, *layout);
  if (layout->coded) {
    decoder.work_.resize(layout->plainSize);
    if (!unpackRuns(bitmap.subspan(layout->dataOffset), runUnitFor(layout->bitsPerPixel),
                    decoder.work_)) {
      refuse(reason, "coded data ends before the picture is complete");
      return std::nullopt;
    }
  }
  return decoder;
}

ByteView RowDecoder::plain() const {
  if (layout_.coded) return work_;
  return bitmap_.subspan(layout_.dataOffset, layout_.plainSize);
}

void RowDecoder::bmpRow(int32_t index, std::span<uint8_t> row) const {
  const size_t bmpRow = bmpRowLength(layout_.width);
  if (index < 0 || index >= layout_.height || row.size() < bmpRow) return;
  // The .bmp runs bottom-up: its first row is the handheld's last.
  const uint8_t* src =
      plain().data() + static_cast<size_t>(layout_.height - 1 - index) * layout_.rowStride;
  uint8_t* dst = row.data();
  std::fill(dst + 3 * static_cast<size_t>(layout_.width), dst + bmpRow, uint8_t{0});
  const unsigned bpp = layout_.bitsPerPixel;
  if (bpp > 8) {
    convert16(src, dst, layout_.width);
  } else if (bpp == 8) {
    convert8(src, dst, layout_.width);
  } else if (bpp == 1 || bpp == 2 || bpp == 4) {
    convertPacked(src, dst, layout_.width, bpp);
  } else {
    std::fill(dst, dst + 3 * static_cast<size_t>(layout_.width), uint8_t{0});  // no palette
  }
}

std::optional<DecodedPicture> decodeToRows(ByteView bitmap, const DecodeLimits& limits,
                                           std::string* reason) {
  auto decoder = RowDecoder::open(bitmap, limits, reason);
  if (!decoder) return std::nullopt;
  DecodedPicture out;
  out.width = decoder->width();
  out.height = decoder->height();
  const size_t bmpRow = bmpRowLength(out.width);
  out.rows.resize(bmpRow * static_cast<size_t>(out.height));
  for (int32_t y = 0; y < out.height; ++y)
    decoder->bmpRow(y,
                    std::span<uint8_t>(out.rows).subspan(static_cast<size_t>(y) * bmpRow, bmpRow));
  return out;
}

bool decodeBitmap(ByteView bitmap, std::string_view path, bool overwrite,
                  const DecodeLimits& limits, std::string* reason) {
  auto decoder = RowDecoder::open(bitmap, limits, reason);
  if (!decoder) return false;
  return writeBmpFile(
      path, decoder->width(), decoder->height(),
      [&](int32_t index, std::span<uint8_t> row) { decoder->bmpRow(index, row); }, overwrite);
}

}  // namespace lumora::bitmap
