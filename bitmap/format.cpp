#include "bitmap/format.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace lumora::bitmap {
namespace {

constexpr size_t kMarkerOffset = 20;
constexpr uint8_t kMarker[2] = {0x57, 0xAB};
// The older layout's rows are sized from the total length less this many bytes.
constexpr size_t kOlderLayoutOverhead = 10;
constexpr size_t kOlderLayoutFields = 7;
// No packet expands by more than 127 units for 2 bytes of code (byte units) or 127
// pixels for 4 bytes (word units), so a stream of C bytes gives at most 63.5 * C bytes.
constexpr uint64_t kMaxExpansion = 64;
constexpr size_t kMaxRun = 127;

constexpr std::array<Rgb, 2> kMonoTable = {{{0xFF, 0xFF, 0xFF}, {0x00, 0x00, 0x00}}};
constexpr std::array<Rgb, 4> kGrey2Table = {
    {{0xFF, 0xFF, 0xFF}, {0xC0, 0xC0, 0xC0}, {0x80, 0x80, 0x80}, {0x00, 0x00, 0x00}}};

constexpr std::array<Rgb, 16> makeGrey4Table() {
  std::array<Rgb, 16> t{};
  for (unsigned i = 0; i < 16; ++i) {
    auto v = static_cast<uint8_t>((15 - i) * 0x11);
    t[i] = {v, v, v};
  }
  return t;
}

constexpr std::array<Rgb, 256> makeSystemPalette() {
  std::array<Rgb, 256> t{};
  for (unsigned i = 0; i < 216; ++i) {
    unsigned red = 5 - (i % 108) / 18;
    unsigned green = 5 - i % 6;
    unsigned blue = 5 - (3 * (i / 108) + (i % 18) / 6);
    t[i] = {static_cast<uint8_t>(0x33 * red), static_cast<uint8_t>(0x33 * green),
            static_cast<uint8_t>(0x33 * blue)};
  }
  constexpr uint8_t greys[10] = {0x11, 0x22, 0x44, 0x55, 0x77, 0x88, 0xAA, 0xBB, 0xDD, 0xEE};
  for (unsigned i = 0; i < 10; ++i) t[216 + i] = {greys[i], greys[i], greys[i]};
  t[226] = {0xC0, 0xC0, 0xC0};
  t[227] = {0x80, 0x00, 0x00};
  t[228] = {0x80, 0x00, 0x80};
  t[229] = {0x00, 0x80, 0x00};
  t[230] = {0x00, 0x80, 0x80};
  return t;  // 231 to 255 stay black
}

constexpr std::array<Rgb, 16> kGrey4Table = makeGrey4Table();
constexpr std::array<Rgb, 256> kSystemPalette = makeSystemPalette();

bool refuse(std::string* reason, std::string text) {
  if (reason) *reason = std::move(text);
  return false;
}

// Bytes that width pixels occupy at a depth (anything above 8 bits is 16-bit colour).
uint64_t bytesForPixels(int32_t width, unsigned bitsPerPixel) {
  uint64_t bits = static_cast<uint64_t>(width) * (bitsPerPixel > 8 ? 16 : bitsPerPixel);
  return (bits + 7) / 8;
}

// Unit access for the coder: equality only, so host byte order is fine for words.
template <size_t U>
struct Units {
  const uint8_t* p;
  bool same(size_t a, size_t b) const {
    if constexpr (U == 1) {
      return p[a] == p[b];
    } else {
      return std::memcmp(p + a * U, p + b * U, U) == 0;
    }
  }
  uint64_t word(size_t unit) const {
    uint64_t w;
    std::memcpy(&w, p + unit * U, sizeof w);
    return w;
  }
};

// Eight bytes or four words compared at a time on little-endian hosts, where the lowest
// lane of a loaded word is the first unit in memory. Lanes per word, lane bits, and the
// masks of the zero-lane test.
template <size_t U>
struct Lanes {
  static constexpr size_t count = 8 / U;
  static constexpr unsigned bits = 8 * U;
  static constexpr uint64_t low = U == 1 ? 0x0101010101010101 : 0x0001000100010001;
  static constexpr uint64_t high = low << (bits - 1);
  // Index of the first zero lane of v, or count when there is none. Borrows can only
  // flag lanes above a real zero one, so the lowest flag is exact.
  static size_t firstZero(uint64_t v) {
    const uint64_t z = (v - low) & ~v & high;
    return z ? static_cast<size_t>(std::countr_zero(z)) / bits : count;
  }
  static size_t firstNonZero(uint64_t v) {
    return v ? static_cast<size_t>(std::countr_zero(v)) / bits : count;
  }
};

constexpr bool kWideScan = std::endian::native == std::endian::little;

// First position in (s, limit) whose unit differs from unit s, or limit.
template <size_t U>
size_t runEnd(const Units<U>& u, size_t s, size_t limit) {
  size_t e = s + 1;
  if constexpr (kWideScan) {
    using L = Lanes<U>;
    uint64_t unit = 0;
    std::memcpy(&unit, u.p + s * U, U);
    const uint64_t pattern = unit * L::low;
    while (e + L::count <= limit) {
      const size_t i = L::firstNonZero(u.word(e) ^ pattern);
      e += i;
      if (i < L::count) return e;
    }
  }
  while (e < limit && u.same(e, s)) ++e;
  return e;
}

// First position e in [s + 2, limit) whose unit equals the two before it, or limit.
// Unit s + 1 never ends a literal: it differs from unit s.
template <size_t U>
size_t literalEnd(const Units<U>& u, size_t s, size_t limit) {
  size_t e = s + 1;
  if (e >= limit) return e;
  ++e;
  if constexpr (kWideScan) {
    using L = Lanes<U>;
    while (e + L::count <= limit) {
      const uint64_t a = u.word(e);
      const size_t i = L::firstZero((a ^ u.word(e - 1)) | (a ^ u.word(e - 2)));
      e += i;
      if (i < L::count) return e;
    }
  }
  while (e < limit && !(u.same(e, e - 1) && u.same(e, e - 2))) ++e;
  return e;
}

template <size_t U>
std::optional<size_t> pack(ByteView plain, std::span<uint8_t> out) {
  const size_t n = plain.size() / U;
  const Units<U> u{plain.data()};
  uint8_t* o = out.data();
  const uint8_t* const end = out.data() + out.size();
  size_t s = 0;
  while (s < n) {
    size_t e = runEnd(u, s, std::min(n, s + kMaxRun));
    if (e - s >= 2) {
      if (static_cast<size_t>(end - o) < 2 * U) return std::nullopt;
      *o++ = static_cast<uint8_t>(e - s);
      if constexpr (U == 2) *o++ = 0x00;
      std::memcpy(o, plain.data() + s * U, U);
      o += U;
      s = e;
      continue;
    }
    // A literal stops before the third of three equal units, at 127 units or at the end.
    e = literalEnd(u, s, std::min(n, s + kMaxRun));
    // Leave a following run of equal units whole for the next repeat packet.
    while (e < n && u.same(e, e - 1)) --e;
    const size_t count = e - s;
    if (static_cast<size_t>(end - o) < U + count * U) return std::nullopt;
    *o++ = static_cast<uint8_t>(256 - count);
    if constexpr (U == 2) *o++ = 0xFF;
    std::memcpy(o, plain.data() + s * U, count * U);
    o += count * U;
    s = e;
  }
  return static_cast<size_t>(o - out.data());
}

// Writes count copies of the unit at from.
template <size_t U>
inline void repeatUnit(uint8_t* to, const uint8_t* from, size_t count) {
  if constexpr (U == 1) {
    std::memset(to, *from, count);
  } else {
    for (size_t i = 0; i < count; ++i, to += U) std::memcpy(to, from, U);
  }
}

template <size_t U>
std::optional<size_t> unpack(ByteView coded, std::span<uint8_t> plain) {
  // While a whole packet's worth of room is left on both sides, byte repeats and literals
  // are copied at their largest size (a constant the compiler turns into wide moves) and
  // the excess is overwritten by the packets that follow.
  constexpr size_t kWide = kMaxRun + 1;
  const size_t units = plain.size() / U;
  const uint8_t* in = coded.data();
  const size_t size = coded.size();
  uint8_t* out = plain.data();
  size_t pos = 0;
  size_t filled = 0;
  while (filled < units) {
    if (size - pos < U) return std::nullopt;
    // Only the first byte of a control word counts; -128 is an empty packet, as in
    // other PackBits readers.
    const auto c = static_cast<int8_t>(in[pos]);
    pos += U;
    const size_t room = units - filled;
    if (c > 0) {
      if (size - pos < U) return std::nullopt;
      const size_t n = static_cast<size_t>(c);
      if (U == 1 && room >= kWide) {
        repeatUnit<U>(out + filled * U, in + pos, kWide);
        filled += n;
      } else {
        const size_t take = std::min(n, room);
        repeatUnit<U>(out + filled * U, in + pos, take);
        filled += take;
      }
      pos += U;
    } else if (c < 0 && c != -128) {
      const size_t n = static_cast<size_t>(-c);
      if (room >= kWide && size - pos >= kWide * U) {
        std::memcpy(out + filled * U, in + pos, kWide * U);
        pos += n * U;
        filled += n;
      } else {
        const size_t take = std::min(n, room);
        if ((size - pos) / U < take) return std::nullopt;
        std::memcpy(out + filled * U, in + pos, take * U);
        // A literal cut short ends the expansion, so only what was copied is consumed.
        pos += take * U;
        filled += take;
      }
    }
  }
  return pos;
}

}  // namespace

std::array<uint8_t, kHeaderSize> buildHeader(const BitmapHeader& h) {
  std::array<uint8_t, kHeaderSize> out{};
  out[0] = h.headerSize;
  out[1] = h.version;
  storeBe16(&out[2], static_cast<uint16_t>(h.width));
  storeBe16(&out[4], static_cast<uint16_t>(h.height));
  out[6] = h.bitsPerPixel;
  out[7] = h.bitmapVersion;
  storeBe16(&out[8], h.pixelDensity);
  storeBe16(&out[10], h.compressionType);
  storeBe32(&out[12], h.rawSize);
  out[kMarkerOffset] = kMarker[0];
  out[kMarkerOffset + 1] = kMarker[1];
  return out;
}

std::optional<BitmapHeader> parseHeader(ByteView b) {
  if (b.size() < kHeaderSize) return std::nullopt;
  BitmapHeader h;
  h.headerSize = b[0];
  h.version = b[1];
  h.width = static_cast<int16_t>(loadBe16(&b[2]));
  h.height = static_cast<int16_t>(loadBe16(&b[4]));
  h.bitsPerPixel = b[6];
  h.bitmapVersion = b[7];
  h.pixelDensity = loadBe16(&b[8]);
  h.compressionType = loadBe16(&b[10]);
  h.rawSize = loadBe32(&b[12]);
  return h;
}

uint32_t rowLength(int32_t width, unsigned bitsPerPixel) {
  if (width <= 0) return 0;
  uint64_t bytes = (static_cast<uint64_t>(width) * bitsPerPixel + 7) / 8;
  return static_cast<uint32_t>((bytes + 1) & ~uint64_t{1});
}

std::optional<BitmapLayout> parseLayout(ByteView b, std::string* reason) {
  BitmapLayout layout;
  if (b.size() < 2) {
    refuse(reason, "too short for a bitmap header (" + std::to_string(b.size()) + " bytes)");
    return std::nullopt;
  }
  uint64_t rowBytes = 0;
  if (b[1] == kCurrentVersion) {
    auto header = parseHeader(b);
    if (!header) {
      refuse(reason, "too short for a bitmap header (" + std::to_string(b.size()) + " bytes)");
      return std::nullopt;
    }
    layout.header = *header;
    layout.width = header->width;
    layout.height = header->height;
    layout.bitsPerPixel = header->bitsPerPixel;
    layout.coded = header->compressionType != 0;
    layout.dataOffset = kHeaderSize;
    if (layout.height > 0) rowBytes = header->rawSize / static_cast<uint32_t>(layout.height);
  } else {
    if (b.size() < kOlderLayoutFields) {
      refuse(reason, "too short for a bitmap header (" + std::to_string(b.size()) + " bytes)");
      return std::nullopt;
    }
    layout.current = false;
    layout.header.headerSize = b[0];
    layout.header.version = b[1];
    layout.header.width = static_cast<int16_t>(loadBe16(&b[2]));
    layout.header.height = static_cast<int16_t>(loadBe16(&b[4]));
    layout.header.bitsPerPixel = b[6];
    layout.width = layout.header.width;
    layout.height = layout.header.height;
    layout.bitsPerPixel = layout.header.bitsPerPixel;
    layout.dataOffset = b[0];
    if (layout.height > 0 && b.size() >= kOlderLayoutOverhead)
      rowBytes = (b.size() - kOlderLayoutOverhead) / static_cast<size_t>(layout.height);
  }

  if (layout.width <= 0 || layout.height <= 0) {
    refuse(reason, "has no pixels (width " + std::to_string(layout.width) + ", height " +
                       std::to_string(layout.height) + ")");
    return std::nullopt;
  }
  if (layout.bitsPerPixel > 8) rowBytes &= ~uint64_t{1};
  const uint64_t needed = bytesForPixels(layout.width, layout.bitsPerPixel);
  if (rowBytes < needed) {
    refuse(reason, "rows of " + std::to_string(rowBytes) + " bytes cannot hold " +
                       std::to_string(layout.width) + " pixels of " +
                       std::to_string(layout.bitsPerPixel) + " bits");
    return std::nullopt;
  }
  layout.rowStride = static_cast<size_t>(rowBytes);
  const uint64_t rowsSize = rowBytes * static_cast<uint64_t>(layout.height);
  const uint64_t available = b.size() > layout.dataOffset ? b.size() - layout.dataOffset : 0;

  if (layout.current) {
    const uint64_t raw = layout.header.rawSize;
    if (layout.coded) {
      if (raw > kMaxExpansion * available) {
        refuse(reason, "coded data of " + std::to_string(available) + " bytes cannot expand to " +
                           std::to_string(raw) + " bytes");
        return std::nullopt;
      }
    } else if (raw > available) {
      refuse(reason, "holds " + std::to_string(available) + " bytes of pixel data, header says " +
                         std::to_string(raw));
      return std::nullopt;
    }
    layout.plainSize = static_cast<size_t>(raw);
  } else {
    if (layout.dataOffset > b.size() || rowsSize > available) {
      refuse(reason, "rows of " + std::to_string(rowsSize) + " bytes from offset " +
                         std::to_string(layout.dataOffset) + " run past the end (" +
                         std::to_string(b.size()) + " bytes)");
      return std::nullopt;
    }
    layout.plainSize = static_cast<size_t>(rowsSize);
  }
  return layout;
}

std::span<const Rgb> colourTable(unsigned bitsPerPixel) {
  switch (bitsPerPixel) {
    case 1:
      return kMonoTable;
    case 2:
      return kGrey2Table;
    case 4:
      return kGrey4Table;
    case 8:
      return kSystemPalette;
    default:
      return {};
  }
}

size_t packedBound(size_t plainBytes, RunUnit unit) {
  const size_t u = static_cast<size_t>(unit);
  const size_t n = plainBytes / u;
  return (n + (n + kMaxRun - 1) / kMaxRun) * u;
}

std::optional<size_t> packRunsInto(ByteView plain, RunUnit unit, std::span<uint8_t> out) {
  return unit == RunUnit::byte ? pack<1>(plain, out) : pack<2>(plain, out);
}

Bytes packRuns(ByteView plain, RunUnit unit) {
  Bytes out(packedBound(plain.size(), unit));
  auto size = packRunsInto(plain, unit, out);
  out.resize(size.value_or(0));
  return out;
}

std::optional<size_t> unpackRuns(ByteView coded, RunUnit unit, std::span<uint8_t> plain) {
  return unit == RunUnit::byte ? unpack<1>(coded, plain) : unpack<2>(coded, plain);
}

}  // namespace lumora::bitmap
