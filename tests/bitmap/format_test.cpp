#include "bitmap/format.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace lumora::bitmap {
namespace {

TEST(BitmapHeader, BytesOfA160By160CodedPicture) {
  BitmapHeader h;
  h.width = 160;
  h.height = 160;
  h.bitsPerPixel = 8;
  h.bitmapVersion = 3;
  h.pixelDensity = 144;
  h.compressionType = 1;
  h.rawSize = 25600;
  const auto bytes = buildHeader(h);
  const Bytes expected = {0x20, 0x02, 0x00, 0xA0, 0x00, 0xA0, 0x08, 0x03, 0x00, 0x90, 0x00,
                          0x01, 0x00, 0x00, 0x64, 0x00, 0x00, 0x00, 0x00, 0x00, 0x57, 0xAB,
                          0,    0,    0,    0,    0,    0,    0,    0,    0,    0};
  EXPECT_EQ(Bytes(bytes.begin(), bytes.end()), expected);

  auto back = parseHeader(bytes);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->width, 160);
  EXPECT_EQ(back->rawSize, 25600u);
  EXPECT_EQ(back->compressionType, 1);
  EXPECT_EQ(back->pixelDensity, 144);
  EXPECT_FALSE(parseHeader(ByteView(bytes).first(31)));
}

TEST(BitmapFormat, RowLengthsAsWritten) {
  const struct {
    int32_t width;
    unsigned bits;
    uint32_t bytes;
  } cases[] = {{1, 8, 2},  {3, 8, 4},  {160, 8, 160},     {161, 8, 162}, {3, 16, 6},
               {1, 16, 2}, {1, 1, 2},  {17, 1, 4},        {5, 4, 4},     {7, 2, 2},
               {0, 8, 0},  {-4, 8, 0}, {32767, 16, 65534}};
  for (const auto& c : cases)
    EXPECT_EQ(rowLength(c.width, c.bits), c.bytes) << c.width << " pixels of " << c.bits;
}

TEST(BitmapFormat, ColourTables) {
  const struct {
    unsigned bits;
    unsigned index;
    Rgb colour;
  } cases[] = {
      {1, 0, {0xFF, 0xFF, 0xFF}},   {1, 1, {0, 0, 0}},
      {2, 0, {0xFF, 0xFF, 0xFF}},   {2, 1, {0xC0, 0xC0, 0xC0}},
      {2, 2, {0x80, 0x80, 0x80}},   {2, 3, {0, 0, 0}},
      {4, 0, {0xFF, 0xFF, 0xFF}},   {4, 1, {0xEE, 0xEE, 0xEE}},
      {4, 2, {0xDD, 0xDD, 0xDD}},   {4, 14, {0x11, 0x11, 0x11}},
      {4, 15, {0, 0, 0}},           {8, 0, {0xFF, 0xFF, 0xFF}},
      {8, 1, {0xFF, 0xCC, 0xFF}},   {8, 5, {0xFF, 0x00, 0xFF}},
      {8, 6, {0xFF, 0xFF, 0xCC}},   {8, 18, {0xCC, 0xFF, 0xFF}},
      {8, 95, {0x00, 0x00, 0xFF}},  {8, 107, {0x00, 0x00, 0x99}},
      {8, 108, {0xFF, 0xFF, 0x66}}, {8, 125, {0xFF, 0x00, 0x00}},
      {8, 210, {0x00, 0xFF, 0x00}}, {8, 214, {0x00, 0x33, 0x00}},
      {8, 215, {0, 0, 0}},          {8, 216, {0x11, 0x11, 0x11}},
      {8, 225, {0xEE, 0xEE, 0xEE}}, {8, 226, {0xC0, 0xC0, 0xC0}},
      {8, 227, {0x80, 0x00, 0x00}}, {8, 228, {0x80, 0x00, 0x80}},
      {8, 229, {0x00, 0x80, 0x00}}, {8, 230, {0x00, 0x80, 0x80}},
      {8, 231, {0, 0, 0}},          {8, 255, {0, 0, 0}},
  };
  for (const auto& c : cases) {
    auto table = colourTable(c.bits);
    ASSERT_LT(c.index, table.size());
    EXPECT_EQ(table[c.index], c.colour) << c.bits << " bits, index " << c.index;
  }
  EXPECT_EQ(colourTable(1).size(), 2u);
  EXPECT_EQ(colourTable(2).size(), 4u);
  EXPECT_EQ(colourTable(4).size(), 16u);
  EXPECT_EQ(colourTable(8).size(), 256u);
  EXPECT_TRUE(colourTable(3).empty());
  EXPECT_TRUE(colourTable(16).empty());
}

TEST(BitmapFormat, CubeHoldsEveryLevelCombinationOnce) {
  auto table = colourTable(8);
  std::vector<bool> seen(216, false);
  for (unsigned i = 0; i < 216; ++i) {
    const Rgb c = table[i];
    ASSERT_TRUE(c.r % 0x33 == 0 && c.g % 0x33 == 0 && c.b % 0x33 == 0) << i;
    const unsigned key = c.r / 0x33 * 36 + c.g / 0x33 * 6 + c.b / 0x33;
    EXPECT_FALSE(seen[key]) << i;
    seen[key] = true;
  }
}

Bytes repeated(size_t n, uint8_t v) {
  return Bytes(n, v);
}
Bytes counting(size_t n) {
  Bytes b(n);
  for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(i);
  return b;
}
Bytes join(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

struct PackCase {
  const char* name;
  RunUnit unit;
  Bytes plain;
  Bytes coded;
};

std::vector<PackCase> packCases() {
  Bytes literal126 = counting(126);
  return {
      {"run then literal", RunUnit::byte, {7, 7, 7, 7, 7, 1, 2, 3}, {0x05, 7, 0xFD, 1, 2, 3}},
      {"a pair stays in the literal", RunUnit::byte, {1, 2, 3, 4, 4}, {0xFB, 1, 2, 3, 4, 4}},
      {"three equal end a literal", RunUnit::byte, {1, 2, 2, 3, 3, 3}, {0xFD, 1, 2, 2, 0x03, 3}},
      {"127-unit literal gives its last unit to the run", RunUnit::byte,
       join({counting(127), {126}}), join({{0x82}, literal126, {0x02, 126}})},
      {"one unit", RunUnit::byte, {9}, {0xFF, 9}},
      {"two equal units repeat", RunUnit::byte, {9, 9}, {0x02, 9}},
      {"a run longer than 127", RunUnit::byte, repeated(128, 4), {0x7F, 4, 0xFF, 4}},
      {"two full runs and a short one",
       RunUnit::byte,
       repeated(256, 4),
       {0x7F, 4, 0x7F, 4, 0x02, 4}},
      {"nothing", RunUnit::byte, {}, {}},
      {"words: four white then red",
       RunUnit::word,
       {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xF8, 0x00},
       {0x04, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xF8, 0x00}},
      {"words: a one-pixel literal looks like white",
       RunUnit::word,
       {0x12, 0x34},
       {0xFF, 0xFF, 0x12, 0x34}},
      {"words: equal bytes in different pixels do not run",
       RunUnit::word,
       {0x00, 0x11, 0x11, 0x00},
       {0xFE, 0xFF, 0x00, 0x11, 0x11, 0x00}},
      {"words: an odd last byte is not a unit", RunUnit::word, {1, 2, 1, 2, 1}, {0x02, 0x00, 1, 2}},
  };
}

TEST(RunLength, PacksAsDescribed) {
  for (const PackCase& c : packCases()) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(packRuns(c.plain, c.unit), c.coded);
  }
}

TEST(RunLength, UnpacksWhatItPacks) {
  for (const PackCase& c : packCases()) {
    SCOPED_TRACE(c.name);
    Bytes plain(c.plain.size() / static_cast<size_t>(c.unit) * static_cast<size_t>(c.unit));
    auto used = unpackRuns(c.coded, c.unit, plain);
    ASSERT_TRUE(used);
    EXPECT_EQ(*used, c.coded.size());
    EXPECT_TRUE(std::equal(plain.begin(), plain.end(), c.plain.begin()));
  }
}

TEST(RunLength, UniformPictureCodesTo202Packets) {
  const Bytes plain = repeated(25600, 0xD7);
  const Bytes coded = packRuns(plain, RunUnit::byte);
  ASSERT_EQ(coded.size(), 404u);
  for (size_t i = 0; i < 402; i += 2) EXPECT_EQ(coded[i], 0x7F) << i;
  EXPECT_EQ(coded[402], 73);
  EXPECT_EQ(coded[403], 0xD7);
}

TEST(RunLength, UnpackingOddStreams) {
  const struct {
    const char* name;
    RunUnit unit;
    Bytes coded;
    size_t plainSize;
    std::optional<Bytes> plain;  // nullopt: the stream runs out
  } cases[] = {
      {"count 0 is an empty packet", RunUnit::byte, {0x00, 0x02, 5}, 2, Bytes{5, 5}},
      {"count -128 is an empty packet", RunUnit::byte, {0x80, 0x02, 5}, 2, Bytes{5, 5}},
      {"word count 0 skips its control word",
       RunUnit::word,
       {0x00, 0x00, 0x01, 0x00, 1, 2},
       2,
       Bytes{1, 2}},
      {"word count -128 is empty", RunUnit::word, {0x80, 0xFF, 0x01, 0x00, 1, 2}, 2, Bytes{1, 2}},
      {"only the first byte of a control word counts",
       RunUnit::word,
       {0x02, 0x7E, 9, 8},
       4,
       Bytes{9, 8, 9, 8}},
      {"a last repeat is cut to fit", RunUnit::byte, {0x05, 7}, 3, Bytes{7, 7, 7}},
      {"a last literal is cut to fit", RunUnit::byte, {0xFD, 1, 2}, 2, Bytes{1, 2}},
      {"a last word repeat is cut to fit",
       RunUnit::word,
       {0x7F, 0x00, 0xAB, 0xCD},
       4,
       Bytes{0xAB, 0xCD, 0xAB, 0xCD}},
      {"word units leave an odd last byte alone",
       RunUnit::word,
       {0x01, 0x00, 3, 4},
       3,
       Bytes{3, 4, 0}},
      {"nothing to fill", RunUnit::byte, {}, 0, Bytes{}},
      {"stream ends before the picture", RunUnit::byte, {0x02, 1}, 3, std::nullopt},
      {"repeat without its unit", RunUnit::byte, {0x02}, 2, std::nullopt},
      {"literal cut short", RunUnit::byte, {0xFC, 1, 2}, 4, std::nullopt},
      {"only empty packets", RunUnit::byte, {0, 0, 0x80}, 1, std::nullopt},
      {"half a control word", RunUnit::word, {0x01}, 2, std::nullopt},
      {"word repeat with half a pixel", RunUnit::word, {0x01, 0x00, 7}, 2, std::nullopt},
      {"word literal cut short", RunUnit::word, {0xFE, 0xFF, 1, 2, 3}, 4, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes plain(c.plainSize, 0);
    auto used = unpackRuns(c.coded, c.unit, plain);
    ASSERT_EQ(used.has_value(), c.plain.has_value());
    if (c.plain) {
      EXPECT_EQ(plain, *c.plain);
    }
  }
}

// Plain data with runs and literals of every length, and the awkward boundaries between.
Bytes mixedData(std::mt19937& rng, size_t size, unsigned alphabet) {
  Bytes out;
  while (out.size() < size) {
    const size_t len = std::uniform_int_distribution<size_t>(1, 300)(rng);
    const bool run = rng() % 2;
    const auto v = static_cast<uint8_t>(rng() % alphabet);
    for (size_t i = 0; i < len && out.size() < size; ++i)
      out.push_back(run ? v : static_cast<uint8_t>(rng() % alphabet));
  }
  return out;
}

TEST(RunLength, RoundTripsAndStaysWithinBound) {
  std::mt19937 rng(1234);
  for (RunUnit unit : {RunUnit::byte, RunUnit::word}) {
    for (unsigned alphabet : {2u, 3u, 256u}) {
      for (size_t size : {1u, 2u, 127u, 128u, 255u, 1000u, 10007u}) {
        SCOPED_TRACE(std::to_string(size) + " bytes of " + std::to_string(alphabet) +
                     " values, unit " + std::to_string(static_cast<int>(unit)));
        const Bytes plain = mixedData(rng, size, alphabet);
        const Bytes coded = packRuns(plain, unit);
        EXPECT_LE(coded.size(), packedBound(plain.size(), unit));
        Bytes back(plain.size() / static_cast<size_t>(unit) * static_cast<size_t>(unit));
        auto used = unpackRuns(coded, unit, back);
        ASSERT_TRUE(used);
        EXPECT_EQ(*used, coded.size());
        EXPECT_TRUE(std::equal(back.begin(), back.end(), plain.begin()));

        // Packing into exactly the room it needs works; one byte less gives up.
        Bytes room(coded.size());
        EXPECT_EQ(packRunsInto(plain, unit, room), coded.size());
        if (!coded.empty()) {
          Bytes tight(coded.size() - 1);
          EXPECT_FALSE(packRunsInto(plain, unit, tight));
        }
      }
    }
  }
}

// The coding rules spelled out one unit at a time, to hold the fast coder to them.
Bytes referencePack(const Bytes& plain, size_t unit) {
  const size_t n = plain.size() / unit;
  auto same = [&](size_t a, size_t b) {
    return std::equal(plain.begin() + a * unit, plain.begin() + (a + 1) * unit,
                      plain.begin() + b * unit);
  };
  auto units = [&](Bytes& out, size_t from, size_t count) {
    out.insert(out.end(), plain.begin() + from * unit, plain.begin() + (from + count) * unit);
  };
  Bytes out;
  size_t s = 0;
  while (s < n) {
    size_t e = s + 1;
    while (e < n && e < s + 127 && same(e, s)) ++e;
    if (e - s >= 2) {
      out.push_back(static_cast<uint8_t>(e - s));
      if (unit == 2) out.push_back(0x00);
      units(out, s, 1);
      s = e;
      continue;
    }
    e = s + 1;
    while (e < n && e - s < 127 && !(e >= s + 2 && same(e, e - 1) && same(e, e - 2))) ++e;
    while (e < n && same(e, e - 1)) --e;
    out.push_back(static_cast<uint8_t>(256 - (e - s)));
    if (unit == 2) out.push_back(0xFF);
    units(out, s, e - s);
    s = e;
  }
  return out;
}

TEST(RunLength, MatchesTheRulesUnitByUnit) {
  std::mt19937 rng(99);
  for (RunUnit unit : {RunUnit::byte, RunUnit::word}) {
    for (unsigned alphabet : {2u, 3u, 5u, 256u}) {
      for (int round = 0; round < 20; ++round) {
        const size_t size = std::uniform_int_distribution<size_t>(0, 3000)(rng);
        const Bytes plain = mixedData(rng, size, alphabet);
        ASSERT_EQ(packRuns(plain, unit), referencePack(plain, static_cast<size_t>(unit)))
            << size << " bytes of " << alphabet << " values";
      }
    }
  }
}

TEST(RunLength, AllLiteralsReachTheBound) {
  const Bytes plain = counting(254);  // no two neighbours equal
  EXPECT_EQ(packRuns(plain, RunUnit::byte).size(), packedBound(254, RunUnit::byte));
  EXPECT_EQ(packedBound(254, RunUnit::byte), 256u);
  EXPECT_EQ(packedBound(254, RunUnit::word), 2u * (127 + 1));
}

Bytes v2Bitmap(int16_t width, int16_t height, uint8_t bits, uint16_t compression, uint32_t rawSize,
               size_t dataBytes) {
  BitmapHeader h;
  h.width = width;
  h.height = height;
  h.bitsPerPixel = bits;
  h.compressionType = compression;
  h.rawSize = rawSize;
  auto header = buildHeader(h);
  Bytes b(header.begin(), header.end());
  b.resize(b.size() + dataBytes, 0);
  return b;
}

Bytes olderBitmap(uint8_t headerLength, uint8_t version, int16_t width, int16_t height,
                  uint8_t bits, size_t total) {
  Bytes b(total, 0);
  b[0] = headerLength;
  b[1] = version;
  storeBe16(&b[2], static_cast<uint16_t>(width));
  storeBe16(&b[4], static_cast<uint16_t>(height));
  b[6] = bits;
  return b;
}

TEST(BitmapLayout, ReadsBothLayouts) {
  const struct {
    const char* name;
    Bytes bitmap;
    bool current;
    size_t offset, stride, plain;
    bool coded;
  } cases[] = {
      {"plain version 2", v2Bitmap(3, 2, 8, 0, 8, 8), true, 32, 4, 8, false},
      {"coded version 2", v2Bitmap(3, 2, 8, 1, 8, 2), true, 32, 4, 8, true},
      {"row length from rawSize, not width", v2Bitmap(3, 2, 8, 0, 20, 20), true, 32, 10, 20, false},
      {"16-bit rows rounded down to even", v2Bitmap(3, 2, 16, 0, 14, 14), true, 32, 6, 14, false},
      {"older layout", olderBitmap(10, 1, 4, 2, 8, 18), false, 10, 4, 8, false},
      {"older layout chosen by version alone", olderBitmap(32, 1, 1, 30, 8, 92), false, 32, 2, 60,
       false},
      {"older 16-bit row length rounded down", olderBitmap(10, 0, 3, 2, 16, 24), false, 10, 6, 12,
       false},
      {"0 bits per pixel: rows of nothing", v2Bitmap(3, 2, 0, 0, 0, 0), true, 32, 0, 0, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string reason;
    auto l = parseLayout(c.bitmap, &reason);
    ASSERT_TRUE(l) << reason;
    EXPECT_EQ(l->current, c.current);
    EXPECT_EQ(l->dataOffset, c.offset);
    EXPECT_EQ(l->rowStride, c.stride);
    EXPECT_EQ(l->plainSize, c.plain);
    EXPECT_EQ(l->coded, c.coded);
  }
}

TEST(BitmapLayout, RefusesUnsoundHeaders) {
  const struct {
    const char* name;
    Bytes bitmap;
    const char* reason;
  } cases[] = {
      {"one byte", {0x20}, "too short"},
      {"version 2 header cut", Bytes(31, 2), "too short"},
      {"height 0", v2Bitmap(3, 0, 8, 0, 0, 0), "no pixels"},
      {"negative height", v2Bitmap(3, -2, 8, 0, 8, 8), "no pixels"},
      {"width 0", v2Bitmap(0, 2, 8, 0, 8, 8), "no pixels"},
      {"negative width", v2Bitmap(-3, 2, 8, 0, 8, 8), "no pixels"},
      {"rows too short for the width", v2Bitmap(100, 2, 8, 0, 20, 20), "cannot hold 100"},
      {"16-bit rows too short", v2Bitmap(3, 2, 16, 0, 11, 11), "cannot hold 3"},
      {"plain data shorter than rawSize", v2Bitmap(3, 2, 8, 0, 8, 7), "header says 8"},
      {"coded data that cannot expand that far", v2Bitmap(100, 100, 8, 1, 10000, 10),
       "cannot expand"},
      {"older header length past the data", olderBitmap(40, 1, 4, 2, 8, 18), "run past the end"},
      {"older rows past the data", olderBitmap(12, 1, 4, 2, 8, 18), "run past the end"},
      {"older layout shorter than 10 bytes", olderBitmap(7, 1, 1, 1, 8, 9), "cannot hold 1"},
      {"older layout with no height", olderBitmap(10, 1, 4, 0, 8, 18), "no pixels"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string reason;
    EXPECT_FALSE(parseLayout(c.bitmap, &reason));
    EXPECT_NE(reason.find(c.reason), std::string::npos) << reason;
  }
}

}  // namespace
}  // namespace lumora::bitmap
