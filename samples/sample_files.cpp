#include "samples/sample_files.h"

#include "hotsync/format/names.h"

#include <algorithm>
#include <cctype>

namespace lumora::samples {
namespace {

uint8_t red(uint32_t c) {
  return static_cast<uint8_t>(c >> 16);
}
uint8_t green(uint32_t c) {
  return static_cast<uint8_t>(c >> 8);
}
uint8_t blue(uint32_t c) {
  return static_cast<uint8_t>(c);
}
uint32_t rgb(uint32_t r, uint32_t g, uint32_t b) {
  return (r << 16) | (g << 8) | b;
}

uint16_t rgb565(uint32_t c) {
  return static_cast<uint16_t>(((red(c) >> 3) << 11) | ((green(c) >> 2) << 5) | (blue(c) >> 3));
}

Bytes bitmapHeader(const Picture& p, uint8_t bitsPerPixel, uint16_t density, uint16_t coded,
                   uint32_t rawSize) {
  Bytes h{32, 2};
  appendBe16(h, static_cast<uint16_t>(p.width));
  appendBe16(h, static_cast<uint16_t>(p.height));
  appendU8(h, bitsPerPixel);
  appendU8(h, density == 144 ? 3 : 2);
  appendBe16(h, density);
  appendBe16(h, coded);
  appendBe32(h, rawSize);
  appendBe32(h, 0);
  appendU8(h, 0x57);
  appendU8(h, 0xAB);
  h.resize(32, 0);
  return h;
}

// Run-length packets over 16-bit units: repeats of 2 to 127, literals of up to 127.
void packWords(const std::vector<uint16_t>& units, Bytes& out) {
  size_t n = units.size(), s = 0;
  while (s < n) {
    size_t e = s + 1;
    while (e < n && e - s < 127 && units[e] == units[s]) ++e;
    if (e - s >= 2) {
      appendU8(out, static_cast<uint8_t>(e - s));
      appendU8(out, 0);
      appendBe16(out, units[s]);
    } else {
      e = s + 1;
      while (e < n && e - s < 127 && !(e + 1 < n && units[e] == units[e + 1])) ++e;
      auto count = static_cast<uint8_t>(-static_cast<int>(e - s));
      appendU8(out, count);
      appendU8(out, 0xFF);
      for (size_t i = s; i < e; ++i) appendBe16(out, units[i]);
    }
    s = e;
  }
}

}  // namespace

Bytes serializePdb(const PdbDatabase& db) {
  return hotsync::serializePdb(db).value_or(Bytes{});
}

std::optional<PdbDatabase> parsePdb(ByteView file) {
  return hotsync::parsePdb(file).database;
}

std::string pdbFileName(std::string_view dbName) {
  return hotsync::databaseFileName(dbName);
}

Bytes writeBmp(const Picture& p, unsigned bitsPerPixel, const std::vector<uint32_t>& palette) {
  size_t rowBytes = ((size_t(p.width) * bitsPerPixel + 31) / 32) * 4;
  size_t paletteBytes = bitsPerPixel <= 8 ? palette.size() * 4 : 0;
  size_t pixelOffset = 54 + paletteBytes;
  Bytes out{'B', 'M'};
  appendLe32(out, static_cast<uint32_t>(pixelOffset + rowBytes * size_t(p.height)));
  appendLe32(out, 0);
  appendLe32(out, static_cast<uint32_t>(pixelOffset));
  appendLe32(out, 40);
  appendLe32(out, static_cast<uint32_t>(p.width));
  appendLe32(out, static_cast<uint32_t>(p.height));
  appendLe16(out, 1);
  appendLe16(out, static_cast<uint16_t>(bitsPerPixel));
  appendLe32(out, 0);
  appendLe32(out, static_cast<uint32_t>(rowBytes * size_t(p.height)));
  appendLe32(out, 2835);
  appendLe32(out, 2835);
  appendLe32(out, bitsPerPixel <= 8 ? static_cast<uint32_t>(palette.size()) : 0);
  appendLe32(out, 0);
  if (bitsPerPixel <= 8) {
    for (uint32_t c : palette) {
      appendU8(out, blue(c));
      appendU8(out, green(c));
      appendU8(out, red(c));
      appendU8(out, 0);
    }
  }
  for (int32_t y = p.height - 1; y >= 0; --y) {
    Bytes row(rowBytes, 0);
    for (int32_t x = 0; x < p.width; ++x) {
      uint32_t v = p.at(x, y);
      if (bitsPerPixel == 24) {
        row[size_t(x) * 3] = blue(v);
        row[size_t(x) * 3 + 1] = green(v);
        row[size_t(x) * 3 + 2] = red(v);
      } else {
        size_t bit = size_t(x) * bitsPerPixel;
        unsigned shift = 8 - bitsPerPixel - unsigned(bit % 8);
        row[bit / 8] = static_cast<uint8_t>(row[bit / 8] | (v << shift));
      }
    }
    out.insert(out.end(), row.begin(), row.end());
  }
  return out;
}

std::optional<Picture> readBmp(ByteView file) {
  auto offset = readLe32(file, 10);
  auto width = readLe32(file, 18);
  auto height = readLe32(file, 22);
  auto bits = readLe16(file, 28);
  auto compression = readLe32(file, 30);
  auto used = readLe32(file, 46);
  auto infoSize = readLe32(file, 14);
  if (!offset || !width || !height || !bits || !compression || !used || !infoSize) return {};
  if (*compression != 0 || (*bits != 1 && *bits != 4 && *bits != 8 && *bits != 24)) return {};
  auto w = static_cast<int32_t>(*width);
  auto h = static_cast<int32_t>(*height);
  bool topDown = h < 0;
  if (topDown) h = -h;
  if (w <= 0 || h <= 0 || w > 10000 || h > 10000) return {};
  std::vector<uint32_t> palette;
  if (*bits <= 8) {
    size_t entries = *used ? *used : (1u << *bits);
    for (size_t i = 0; i < entries; ++i) {
      size_t at = 14 + *infoSize + i * 4;
      if (at + 4 > file.size()) return {};
      palette.push_back(rgb(file[at + 2], file[at + 1], file[at]));
    }
  }
  size_t rowBytes = ((size_t(w) * *bits + 31) / 32) * 4;
  if (*offset > file.size() || file.size() - *offset < rowBytes * size_t(h)) return {};
  Picture p{w, h, std::vector<uint32_t>(size_t(w) * size_t(h))};
  for (int32_t y = 0; y < h; ++y) {
    size_t stored = topDown ? size_t(y) : size_t(h - 1 - y);
    const uint8_t* row = file.data() + *offset + stored * rowBytes;
    for (int32_t x = 0; x < w; ++x) {
      uint32_t c;
      if (*bits == 24) {
        c = rgb(row[x * 3 + 2], row[x * 3 + 1], row[x * 3]);
      } else {
        size_t bit = size_t(x) * *bits;
        unsigned v = (row[bit / 8] >> (8 - *bits - bit % 8)) & ((1u << *bits) - 1);
        if (v >= palette.size()) return {};
        c = palette[v];
      }
      p.pixels[size_t(y) * size_t(w) + size_t(x)] = c;
    }
  }
  return p;
}

Bytes handheldBitmap16(const Picture& p, uint16_t density, bool compressed) {
  std::vector<uint16_t> units;
  units.reserve(p.pixels.size());
  for (uint32_t c : p.pixels) units.push_back(rgb565(c));
  auto rawSize = static_cast<uint32_t>(units.size() * 2);
  Bytes data;
  if (compressed) {
    packWords(units, data);
  } else {
    for (uint16_t u : units) appendBe16(data, u);
  }
  Bytes out = bitmapHeader(p, 16, density, compressed ? 1 : 0, rawSize);
  out.insert(out.end(), data.begin(), data.end());
  return out;
}

Bytes handheldBitmap8(const Picture& p, uint16_t density) {
  size_t rowLength = (size_t(p.width) + 1) & ~size_t{1};
  Bytes out = bitmapHeader(p, 8, density, 0, static_cast<uint32_t>(rowLength * size_t(p.height)));
  for (int32_t y = 0; y < p.height; ++y) {
    for (int32_t x = 0; x < p.width; ++x) appendU8(out, static_cast<uint8_t>(p.at(x, y)));
    if (rowLength != size_t(p.width)) appendU8(out, 0);
  }
  return out;
}

uint32_t viaRgb565(uint32_t c) {
  return rgb(uint32_t(red(c) >> 3) << 3, uint32_t(green(c) >> 2) << 2, uint32_t(blue(c) >> 3) << 3);
}

uint32_t viaSystemPalette(uint32_t c) {
  return rgb(0x33u * (red(c) / 43u), 0x33u * (green(c) / 43u), 0x33u * (blue(c) / 43u));
}

uint32_t systemPaletteColour(uint8_t i) {
  if (i < 216) {
    uint32_t r = 5 - (i % 108) / 18;
    uint32_t g = 5 - i % 6;
    uint32_t b = 5 - (3 * (i / 108) + (i % 18) / 6);
    return rgb(0x33 * r, 0x33 * g, 0x33 * b);
  }
  static constexpr uint8_t kGreys[] = {0x11, 0x22, 0x44, 0x55, 0x77, 0x88, 0xAA, 0xBB, 0xDD, 0xEE};
  if (i < 226) return rgb(kGreys[i - 216], kGreys[i - 216], kGreys[i - 216]);
  static constexpr uint32_t kRest[] = {0xC0C0C0, 0x800000, 0x800080, 0x008000, 0x008080};
  if (i < 231) return kRest[i - 226];
  return 0;
}

}  // namespace lumora::samples
