// Builds .bmp files byte by byte for reader and encoder tests.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "common/bytes.h"

namespace lumora::test {

struct BmpFields {
  uint32_t headerSize = 40;  // 12 core, 16/64 OS/2 2.x, 40, 52, 56, 108, 124
  int32_t width = 1;
  int32_t height = 1;  // negative: top-down
  uint16_t planes = 1;
  uint16_t bitsPerPixel = 24;
  uint32_t compression = 0;
  std::vector<uint32_t> palette;  // 0x00BBGGRR
  std::vector<uint32_t> masks;    // after a 40-byte header, inside longer ones
  std::optional<uint32_t> coloursUsed;
  std::optional<uint32_t> pixelOffset;
  Bytes pixels;  // as stored
};

inline Bytes buildBmp(const BmpFields& s) {
  Bytes f;
  f.reserve(64 + s.palette.size() * 4 + s.pixels.size());
  appendU8(f, 'B');
  appendU8(f, 'M');
  appendLe32(f, 0);  // file size, patched below
  appendLe32(f, 0);
  appendLe32(f, 0);  // pixel offset, patched below
  appendLe32(f, s.headerSize);
  if (s.headerSize == 12) {
    appendLe16(f, static_cast<uint16_t>(s.width));
    appendLe16(f, static_cast<uint16_t>(s.height));
    appendLe16(f, s.planes);
    appendLe16(f, s.bitsPerPixel);
  } else {
    appendLe32(f, static_cast<uint32_t>(s.width));
    appendLe32(f, static_cast<uint32_t>(s.height));
    appendLe16(f, s.planes);
    appendLe16(f, s.bitsPerPixel);
    if (s.headerSize >= 20) appendLe32(f, s.compression);
    if (s.headerSize >= 24) appendLe32(f, static_cast<uint32_t>(s.pixels.size()));
    if (s.headerSize >= 32) {
      appendLe32(f, 2835);
      appendLe32(f, 2835);
    }
    if (s.headerSize >= 36) appendLe32(f, s.coloursUsed.value_or(s.palette.size()));
    if (s.headerSize >= 40) appendLe32(f, 0);
    for (size_t i = 0;
         s.headerSize >= 52 && i < s.masks.size() && f.size() + 4 <= 14 + s.headerSize; ++i)
      appendLe32(f, s.masks[i]);
    f.resize(14 + s.headerSize, 0);
    if (s.headerSize == 40)
      for (uint32_t m : s.masks) appendLe32(f, m);
  }
  for (uint32_t c : s.palette) {
    appendU8(f, static_cast<uint8_t>(c >> 16));
    appendU8(f, static_cast<uint8_t>(c >> 8));
    appendU8(f, static_cast<uint8_t>(c));
    if (s.headerSize != 12) appendU8(f, 0);
  }
  const uint32_t offset = s.pixelOffset.value_or(static_cast<uint32_t>(f.size()));
  if (f.size() < offset) f.resize(offset, 0);
  storeLe32(&f[10], offset);
  f.resize(offset);
  f.insert(f.end(), s.pixels.begin(), s.pixels.end());
  storeLe32(&f[2], static_cast<uint32_t>(f.size()));
  return f;
}

// Stored rows for a picture whose pixel (x, y), (0, 0) top-left, has the given value: a
// palette index up to 8 bits, the little-endian word at 16 and 32, 0x00BBGGRR at 24.
// Rows are padded to 4 bytes and stored bottom-up unless topDown.
inline Bytes storeRows(int32_t width, int32_t height, unsigned bpp,
                       const std::function<uint32_t(int32_t, int32_t)>& value,
                       bool topDown = false) {
  const size_t stride = (static_cast<size_t>(width) * bpp + 31) / 32 * 4;
  Bytes out(stride * static_cast<size_t>(height), 0);
  for (int32_t r = 0; r < height; ++r) {
    const int32_t y = topDown ? r : height - 1 - r;
    uint8_t* row = out.data() + static_cast<size_t>(r) * stride;
    for (int32_t x = 0; x < width; ++x) {
      const uint32_t v = value(x, y);
      if (bpp < 8) {
        const size_t bit = static_cast<size_t>(x) * bpp;
        row[bit / 8] |= static_cast<uint8_t>(v << (8 - bpp - bit % 8));
      } else if (bpp == 8) {
        row[x] = static_cast<uint8_t>(v);
      } else if (bpp == 16) {
        storeLe16(row + 2 * x, static_cast<uint16_t>(v));
      } else if (bpp == 24) {
        row[3 * x] = static_cast<uint8_t>(v >> 16);
        row[3 * x + 1] = static_cast<uint8_t>(v >> 8);
        row[3 * x + 2] = static_cast<uint8_t>(v);
      } else {
        storeLe32(row + 4 * x, v);
      }
    }
  }
  return out;
}

}  // namespace lumora::test
