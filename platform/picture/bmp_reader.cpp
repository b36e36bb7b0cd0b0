// The .bmp reader: the headers Windows reads (OS/2 1.x and 2.x, info, V4, V5), palette
// depths with full or short colour tables, 16/24/32-bit direct colour with default or
// explicit channel masks, RLE8 and RLE4, bottom-up and top-down rows.
#include <algorithm>
#include <array>
#include <bit>

#include "platform/picture/picture.h"

namespace lumora::picture {
namespace {

constexpr size_t kFileHeaderSize = 14;
constexpr size_t kInfoHeaderSize = 40;
constexpr uint32_t kBmpJpeg = 4;
constexpr uint32_t kBmpPng = 5;
constexpr uint32_t kOs2Huffman = 3;
constexpr uint32_t kOs2Rle24 = 4;
// A run-length code of 2 bytes gives at most 255 pixels; allow a little more for the
// codes that skip, plus a small picture's worth for nearly empty streams.
constexpr uint64_t kRlePixelsPerByte = 256;
constexpr uint64_t kRleSlackPixels = 1 << 16;

bool fail(std::string* reason, std::string text) {
  if (reason) *reason = std::move(text);
  return false;
}

std::string hex(uint32_t v) {
  static constexpr char digits[] = "0123456789ABCDEF";
  std::string s = "0x";
  bool started = false;
  for (int shift = 28; shift >= 0; shift -= 4) {
    unsigned d = (v >> shift) & 0xF;
    if (d || started || shift == 0) {
      s += digits[d];
      started = true;
    }
  }
  return s;
}

enum class HeaderKind { core, os2, windows };

std::optional<HeaderKind> kindOf(uint32_t headerSize) {
  switch (headerSize) {
    case 12:
      return HeaderKind::core;
    case 16:
    case 64:
      return HeaderKind::os2;
    case 40:
    case 52:
    case 56:
    case 108:
    case 124:
      return HeaderKind::windows;
    default:
      return std::nullopt;
  }
}

// n bits widened to 8 by repeating them below themselves: full intensity stays 255.
uint8_t widen(uint32_t v, unsigned n) {
  if (n == 0) return 0;
  uint32_t r = 0;
  for (int shift = 8 - static_cast<int>(n); shift > -static_cast<int>(n);
       shift -= static_cast<int>(n))
    r |= shift >= 0 ? v << shift : v >> -shift;
  return static_cast<uint8_t>(r);
}

// One colour channel of a direct-colour pixel, cut to its top 8 bits.
struct Channel {
  unsigned shift = 0;
  uint32_t mask = 0;  // after the shift
  std::array<uint8_t, 256> value{};

  explicit Channel(uint32_t bits) {
    if (bits == 0) return;
    unsigned width = static_cast<unsigned>(std::popcount(bits));
    shift = static_cast<unsigned>(std::countr_zero(bits));
    if (width > 8) {
      shift += width - 8;
      width = 8;
    }
    mask = (1u << width) - 1;
    for (uint32_t v = 0; v <= mask; ++v) value[v] = widen(v, width);
  }
  uint8_t operator()(uint32_t pixel) const { return value[(pixel >> shift) & mask]; }
};

bool contiguous(uint32_t mask) {
  if (mask == 0) return true;
  uint64_t run = uint64_t{mask} >> std::countr_zero(mask);
  return (run & (run + 1)) == 0;
}

struct Layout {
  BmpInfo info;
  HeaderKind kind = HeaderKind::windows;
  size_t paletteStart = 0;
  size_t entrySize = 4;
  uint64_t stride = 0;  // bytes per stored row, uncompressed
};

std::optional<Layout> describe(ByteView f, std::string* reason) {
  Layout l;
  BmpInfo& info = l.info;
  if (f.size() < 2 || f[0] != 'B' || f[1] != 'M') {
    fail(reason, "not a .bmp file (no BM signature)");
    return std::nullopt;
  }
  if (f.size() < kFileHeaderSize + 4) {
    fail(reason, "truncated: " + std::to_string(f.size()) + " bytes hold no info header");
    return std::nullopt;
  }
  info.pixelOffset = loadLe32(&f[10]);
  info.headerSize = loadLe32(&f[14]);
  auto kind = kindOf(info.headerSize);
  if (!kind) {
    fail(reason, "unsupported info header size " + std::to_string(info.headerSize));
    return std::nullopt;
  }
  l.kind = *kind;
  if (f.size() - kFileHeaderSize < info.headerSize) {
    fail(reason, "truncated: the " + std::to_string(info.headerSize) +
                     "-byte info header runs past the end of the file");
    return std::nullopt;
  }

  int64_t width = 0, height = 0;
  uint16_t planes = 0;
  uint32_t coloursUsed = 0;
  const uint8_t* h = &f[kFileHeaderSize];
  if (l.kind == HeaderKind::core) {
    width = loadLe16(h + 4);
    height = loadLe16(h + 6);
    planes = loadLe16(h + 8);
    info.bitsPerPixel = loadLe16(h + 10);
    l.entrySize = 3;
  } else {
    width = static_cast<int32_t>(loadLe32(h + 4));
    height = static_cast<int32_t>(loadLe32(h + 8));
    planes = loadLe16(h + 12);
    info.bitsPerPixel = loadLe16(h + 14);
    if (info.headerSize >= 20) info.compression = loadLe32(h + 16);
    if (info.headerSize >= 36) coloursUsed = loadLe32(h + 32);
  }

  if (planes != 1) {
    fail(reason, "has " + std::to_string(planes) + " colour planes; only 1 is readable");
    return std::nullopt;
  }
  const uint32_t c = info.compression;
  if (l.kind == HeaderKind::os2 && c == kOs2Huffman) {
    fail(reason, "uses OS/2 Huffman coding, which is not supported");
    return std::nullopt;
  }
  if (l.kind == HeaderKind::os2 && c == kOs2Rle24) {
    fail(reason, "uses 24-bit run-length coding, which is not supported");
    return std::nullopt;
  }
  if (c == kBmpJpeg || c == kBmpPng) {
    fail(reason, std::string("holds an embedded ") + (c == kBmpJpeg ? "JPEG" : "PNG") +
                     " picture, not a bitmap");
    return std::nullopt;
  }
  if (c > kBmpBitfields) {
    fail(reason, "unsupported compression " + std::to_string(c));
    return std::nullopt;
  }
  const unsigned bpp = info.bitsPerPixel;
  if (bpp != 1 && bpp != 2 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) {
    fail(reason, "unsupported " + std::to_string(bpp) + " bits per pixel");
    return std::nullopt;
  }
  if ((c == kBmpRle8 && bpp != 8) || (c == kBmpRle4 && bpp != 4) ||
      (c == kBmpBitfields && bpp != 16 && bpp != 32)) {
    fail(reason, "compression " + compressionName(c) + " does not go with " + std::to_string(bpp) +
                     " bits per pixel");
    return std::nullopt;
  }
  if (width <= 0 || height == 0 || height == INT32_MIN) {
    fail(reason, "has no pixels (width " + std::to_string(width) + ", height " +
                     std::to_string(height) + ")");
    return std::nullopt;
  }
  info.topDown = height < 0;
  if (info.topDown) height = -height;
  const bool rle = c == kBmpRle8 || c == kBmpRle4;
  if (info.topDown && rle) {
    fail(reason, "run-length coded rows must be stored bottom-up");
    return std::nullopt;
  }
  const uint64_t pixels = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
  if (pixels > kMaxPicturePixels) {
    fail(reason,
         "is too large (" + std::to_string(width) + " x " + std::to_string(height) + " pixels)");
    return std::nullopt;
  }
  info.width = static_cast<int32_t>(width);
  info.height = static_cast<int32_t>(height);

  // Channel masks follow a 40-byte header and sit in the same place inside longer ones.
  size_t headersEnd = kFileHeaderSize + info.headerSize;
  if (c == kBmpBitfields) {
    if (f.size() < kFileHeaderSize + kInfoHeaderSize + 12) {
      fail(reason, "truncated: the colour masks run past the end of the file");
      return std::nullopt;
    }
    for (int i = 0; i < 3; ++i) {
      info.masks[i] = loadLe32(&f[kFileHeaderSize + kInfoHeaderSize + 4 * i]);
      if (!contiguous(info.masks[i])) {
        fail(reason, "colour mask " + hex(info.masks[i]) + " is not one run of bits");
        return std::nullopt;
      }
    }
    if (info.headerSize == kInfoHeaderSize) headersEnd += 12;
  } else if (bpp == 16) {
    // 5-5-5, the top bit unused.
    info.masks[0] = 0x7C00;
    info.masks[1] = 0x03E0;
    info.masks[2] = 0x001F;
  } else if (bpp > 16) {
    info.masks[0] = 0xFF0000;
    info.masks[1] = 0x00FF00;
    info.masks[2] = 0x0000FF;
  }
  l.paletteStart = headersEnd;

  if (info.pixelOffset < headersEnd) {
    fail(reason,
         "pixel data offset " + std::to_string(info.pixelOffset) + " lies inside the headers");
    return std::nullopt;
  }
  if (info.pixelOffset >= f.size()) {
    fail(reason, "truncated: pixel data offset " + std::to_string(info.pixelOffset) +
                     " is past the end of the file (" + std::to_string(f.size()) + " bytes)");
    return std::nullopt;
  }
  if (bpp <= 8) {
    // Short tables end where the pixels begin; a table longer than the depth can index
    // holds nothing the pixels can reach.
    uint32_t declared = 1u << bpp;
    if (coloursUsed != 0 && coloursUsed < declared) declared = coloursUsed;
    size_t present = (info.pixelOffset - l.paletteStart) / l.entrySize;
    info.paletteEntries = static_cast<uint32_t>(std::min<size_t>(declared, present));
  }

  const uint64_t available = f.size() - info.pixelOffset;
  if (rle) {
    if (pixels > kRlePixelsPerByte * available + kRleSlackPixels) {
      fail(reason, "run-length data of " + std::to_string(available) + " bytes cannot make up " +
                       std::to_string(width) + " x " + std::to_string(height) + " pixels");
      return std::nullopt;
    }
  } else {
    const uint64_t rowBits = static_cast<uint64_t>(width) * bpp;
    l.stride = (rowBits + 31) / 32 * 4;
    // The last row needs no padding: some writers leave it out.
    const uint64_t needed = l.stride * static_cast<uint64_t>(height - 1) + (rowBits + 7) / 8;
    if (needed > available) {
      fail(reason, "truncated: the pixels need " + std::to_string(needed) +
                       " bytes, the file holds " + std::to_string(available));
      return std::nullopt;
    }
  }
  return l;
}

std::array<uint32_t, 256> readPalette(ByteView f, const Layout& l) {
  std::array<uint32_t, 256> palette{};  // entries the file lacks are black
  for (uint32_t i = 0; i < l.info.paletteEntries; ++i) {
    const uint8_t* e = &f[l.paletteStart + i * l.entrySize];
    palette[i] = colourRef(e[2], e[1], e[0]);
  }
  return palette;
}

void decodeIndexed(const uint8_t* src, uint32_t* dst, int32_t width, unsigned bpp,
                   const std::array<uint32_t, 256>& palette) {
  if (bpp == 8) {
    for (int32_t x = 0; x < width; ++x) dst[x] = palette[src[x]];
    return;
  }
  const unsigned mask = (1u << bpp) - 1;
  for (int32_t x = 0; x < width; ++x) {
    const size_t bit = static_cast<size_t>(x) * bpp;
    const unsigned index = (src[bit >> 3] >> (8 - bpp - (bit & 7))) & mask;
    dst[x] = palette[index];
  }
}

struct Channels {
  Channel red, green, blue;
  explicit Channels(const uint32_t (&m)[3]) : red(m[0]), green(m[1]), blue(m[2]) {}
  uint32_t operator()(uint32_t px) const { return colourRef(red(px), green(px), blue(px)); }
};

void decodeRows(ByteView f, const Layout& l, Picture& out) {
  const BmpInfo& info = l.info;
  const int32_t w = info.width;
  const auto palette = readPalette(f, l);
  const Channels channels(info.masks);
  const bool plain32 =
      info.masks[0] == 0xFF0000 && info.masks[1] == 0x00FF00 && info.masks[2] == 0x0000FF;
  for (int32_t r = 0; r < info.height; ++r) {
    const uint8_t* src = f.data() + info.pixelOffset + static_cast<size_t>(r) * l.stride;
    const int32_t y = info.topDown ? r : info.height - 1 - r;
    uint32_t* dst = out.pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(w);
    switch (info.bitsPerPixel) {
      case 16:
        for (int32_t x = 0; x < w; ++x) dst[x] = channels(loadLe16(src + 2 * x));
        break;
      case 24:
        for (int32_t x = 0; x < w; ++x, src += 3) dst[x] = colourRef(src[2], src[1], src[0]);
        break;
      case 32:
        if (plain32) {
          for (int32_t x = 0; x < w; ++x, src += 4) dst[x] = colourRef(src[2], src[1], src[0]);
        } else {
          for (int32_t x = 0; x < w; ++x) dst[x] = channels(loadLe32(src + 4 * x));
        }
        break;
      default:
        decodeIndexed(src, dst, w, info.bitsPerPixel, palette);
    }
  }
}

// RLE8 and RLE4: runs, end-of-line, end-of-bitmap, delta and literal codes. Pixels the
// codes skip keep colour 0 of the table; pixels past a row's end are dropped.
bool decodeRle(ByteView f, const Layout& l, Picture& out, std::string* reason) {
  const BmpInfo& info = l.info;
  const auto palette = readPalette(f, l);
  std::fill(out.pixels.begin(), out.pixels.end(), palette[0]);
  const bool four = info.compression == kBmpRle4;
  const int64_t w = info.width, h = info.height;
  const uint8_t* d = f.data() + info.pixelOffset;
  const size_t size = f.size() - info.pixelOffset;
  size_t pos = 0;
  int64_t x = 0, y = 0;  // y counts stored rows, the bottom one first
  auto put = [&](unsigned index) {
    if (x < w && y < h) out.pixels[static_cast<size_t>((h - 1 - y) * w + x)] = palette[index];
    ++x;
  };
  while (y < h) {
    if (size - pos < 2) return fail(reason, "truncated: run-length data ends inside the picture");
    const unsigned count = d[pos], value = d[pos + 1];
    pos += 2;
    if (count > 0) {
      const unsigned n =
          static_cast<unsigned>(std::min<int64_t>(count, std::max<int64_t>(0, w - x)));
      if (four) {
        for (unsigned i = 0; i < n; ++i) put(i % 2 ? value & 0xF : value >> 4);
      } else {
        for (unsigned i = 0; i < n; ++i) put(value);
      }
      x += count - n;
      continue;
    }
    switch (value) {
      case 0:  // end of line
        x = 0;
        ++y;
        break;
      case 1:  // end of bitmap
        return true;
      case 2:  // delta
        if (size - pos < 2) return fail(reason, "truncated: run-length data ends inside a delta");
        x += d[pos];
        y += d[pos + 1];
        pos += 2;
        break;
      default: {  // literal: value pixels, padded to an even byte count
        const size_t bytes = four ? (value + 1) / 2 : value;
        if (size - pos < bytes)
          return fail(reason, "truncated: run-length data ends inside a literal run");
        for (unsigned i = 0; i < value; ++i) {
          const unsigned b = four ? d[pos + i / 2] : d[pos + i];
          put(four ? (i % 2 ? b & 0xF : b >> 4) : b);
        }
        pos = std::min(size, pos + ((bytes + 1) & ~size_t{1}));
      }
    }
  }
  return true;
}

}  // namespace

std::string compressionName(uint32_t compression) {
  switch (compression) {
    case kBmpRgb:
      return "rgb";
    case kBmpRle8:
      return "rle8";
    case kBmpRle4:
      return "rle4";
    case kBmpBitfields:
      return "bitfields";
    default:
      return std::to_string(compression);
  }
}

std::optional<BmpInfo> describeBmp(ByteView file, std::string* reason) {
  auto layout = describe(file, reason);
  if (!layout) return std::nullopt;
  return layout->info;
}

std::optional<Picture> parseBmp(ByteView file, std::string* reason) {
  auto layout = describe(file, reason);
  if (!layout) return std::nullopt;
  const BmpInfo& info = layout->info;
  Picture out;
  out.width = info.width;
  out.height = info.height;
  out.bitsPerPixel = info.bitsPerPixel;
  out.pixels.resize(static_cast<size_t>(info.width) * static_cast<size_t>(info.height));
  if (info.compression == kBmpRle8 || info.compression == kBmpRle4) {
    if (!decodeRle(file, *layout, out, reason)) return std::nullopt;
  } else {
    decodeRows(file, *layout, out);
  }
  return out;
}

}  // namespace lumora::picture
