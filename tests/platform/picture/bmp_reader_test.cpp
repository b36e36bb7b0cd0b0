#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/picture/picture.h"
#include "tests/platform/picture/bmp_builder.h"
#include "tests/support/temp_dir.h"

namespace lumora::picture {
namespace {

using test::BmpFields;
using test::buildBmp;
using test::storeRows;

constexpr uint32_t kRed = colourRef(255, 0, 0);
constexpr uint32_t kGreen = colourRef(0, 255, 0);
constexpr uint32_t kBlue = colourRef(0, 0, 255);
constexpr uint32_t kWhite = colourRef(255, 255, 255);
constexpr uint32_t kBlack = 0;

// A 3 x 2 picture with six different colours, (0, 0) top-left.
const std::vector<uint32_t> kSix = {kRed,
                                    kGreen,
                                    kBlue,  //
                                    kWhite,
                                    colourRef(1, 2, 3),
                                    colourRef(200, 100, 50)};
uint32_t six(int32_t x, int32_t y) {
  return kSix[static_cast<size_t>(y * 3 + x)];
}

BmpFields direct24(bool topDown) {
  BmpFields s;
  s.width = 3;
  s.height = topDown ? -2 : 2;
  s.pixels = storeRows(3, 2, 24, six, topDown);
  return s;
}

BmpFields indexed(uint16_t bpp, uint32_t headerSize = 40) {
  BmpFields s;
  s.headerSize = headerSize;
  s.width = 3;
  s.height = 2;
  s.bitsPerPixel = bpp;
  const size_t entries = bpp == 1 ? 2 : bpp == 2 ? 4 : 6;
  s.palette.assign(kSix.begin(), kSix.begin() + static_cast<std::ptrdiff_t>(entries));
  if (bpp == 1) s.palette = {kRed, kBlue};
  s.pixels = storeRows(3, 2, bpp, [&](int32_t x, int32_t y) -> uint32_t {
    return bpp == 1 ? (x + y) % 2 : bpp == 2 ? (x + y) % 4 : y * 3 + x;
  });
  return s;
}

std::vector<uint32_t> pattern(uint16_t bpp) {
  if (bpp == 1) return {kRed, kBlue, kRed, kBlue, kRed, kBlue};
  if (bpp == 2) return {kRed, kGreen, kBlue, kGreen, kBlue, kWhite};
  return kSix;
}

struct Readable {
  const char* name;
  BmpFields fields;
  std::vector<uint32_t> pixels;  // top-left first
  uint16_t storedBits;
};

std::vector<Readable> readableCases() {
  std::vector<Readable> cases;
  cases.push_back({"24-bit bottom-up", direct24(false), kSix, 24});
  cases.push_back({"24-bit top-down", direct24(true), kSix, 24});
  for (uint16_t bpp : {1, 2, 4, 8}) {
    cases.push_back({"indexed", indexed(bpp), pattern(bpp), bpp});
  }
  cases.push_back({"8-bit OS/2 1.x core header", indexed(8, 12), kSix, 8});
  cases.push_back({"8-bit OS/2 2.x short header", indexed(8, 16), kSix, 8});
  cases.push_back({"8-bit OS/2 2.x full header", indexed(8, 64), kSix, 8});
  cases.push_back({"8-bit V4 header", indexed(8, 108), kSix, 8});
  cases.push_back({"8-bit V5 header", indexed(8, 124), kSix, 8});
  {
    BmpFields s = indexed(8);
    s.palette.resize(2);  // indices 2 to 5 fall outside the short table
    cases.push_back({"short colour table", s, {kRed, kGreen, kBlack, kBlack, kBlack, kBlack}, 8});
  }
  {
    BmpFields s;
    s.width = 3;
    s.height = 2;
    s.bitsPerPixel = 32;
    s.pixels = storeRows(3, 2, 32, [](int32_t x, int32_t y) {
      return 0xAA000000u | six(x, y) >> 16 | (six(x, y) & 0xFF00) | (six(x, y) & 0xFF) << 16;
    });
    cases.push_back({"32-bit, fourth byte ignored", s, kSix, 32});
  }
  for (uint32_t headerSize : {40u, 52u, 108u, 124u}) {
    BmpFields s;
    s.headerSize = headerSize;
    s.width = 3;
    s.height = 2;
    s.bitsPerPixel = 32;
    s.compression = kBmpBitfields;
    s.masks = {0x000000FF, 0x0000FF00, 0x00FF0000};
    s.pixels = storeRows(3, 2, 32, six);  // 0x00BBGGRR read with these masks
    cases.push_back({"32-bit bitfields", s, kSix, 32});
  }
  {
    BmpFields s;
    s.width = 4;
    s.height = 1;
    s.bitsPerPixel = 16;
    const uint16_t words[] = {0x7FFF, 0x7C00, 0x0001, 0xC210};
    s.pixels = storeRows(4, 1, 16, [&](int32_t x, int32_t) { return words[x]; });
    // Five bits widen by repetition: 1 -> 8, 16 -> 132, 31 -> 255; the top bit is unused.
    cases.push_back(
        {"16-bit 5-5-5", s, {kWhite, kRed, colourRef(0, 0, 8), colourRef(132, 132, 132)}, 16});
  }
  for (uint32_t headerSize : {40u, 56u, 124u}) {
    BmpFields s;
    s.headerSize = headerSize;
    s.width = 4;
    s.height = 1;
    s.bitsPerPixel = 16;
    s.compression = kBmpBitfields;
    s.masks = {0xF800, 0x07E0, 0x001F};
    const uint16_t words[] = {0xFFFF, 0x07E0, 0x0020, 0x8000};
    s.pixels = storeRows(4, 1, 16, [&](int32_t x, int32_t) { return words[x]; });
    // Six bits: 1 -> 4, 63 -> 255.
    cases.push_back(
        {"16-bit 5-6-5", s, {kWhite, kGreen, colourRef(0, 4, 0), colourRef(132, 0, 0)}, 16});
  }
  {
    BmpFields s = direct24(false);
    s.width = 5;
    s.height = 1;
    s.pixels =
        storeRows(5, 1, 24, [](int32_t x, int32_t) { return colourRef(10, 20, uint8_t(x)); });
    s.pixels.resize(s.pixels.size() - 1);  // the last row's padding left out
    cases.push_back({"last row without padding",
                     s,
                     {colourRef(10, 20, 0), colourRef(10, 20, 1), colourRef(10, 20, 2),
                      colourRef(10, 20, 3), colourRef(10, 20, 4)},
                     24});
  }
  return cases;
}

TEST(BmpReader, ReadsEveryLayout) {
  for (const Readable& c : readableCases()) {
    SCOPED_TRACE(std::string(c.name) + " " + std::to_string(c.fields.bitsPerPixel) +
                 " bits, header " + std::to_string(c.fields.headerSize));
    std::string reason;
    auto p = parseBmp(buildBmp(c.fields), &reason);
    ASSERT_TRUE(p) << reason;
    EXPECT_EQ(p->width, c.fields.width);
    EXPECT_EQ(p->height, c.fields.height < 0 ? -c.fields.height : c.fields.height);
    EXPECT_EQ(p->bitsPerPixel, c.storedBits);
    EXPECT_EQ(p->pixels, c.pixels);
  }
}

// RLE8 of a 4 x 3 picture (palette 0 red, 1 green, 2 blue), bottom row first.
Bytes rle8Stream() {
  return {
      0x02, 0x01,                    // bottom row: two green
      0x00, 0x03, 2,    1,    2, 0,  // literal of three (blue green blue), padded to even
      0x00, 0x00,                    // end of line (nothing left to skip here: row is full)
      0x00, 0x02, 0x01, 0x01,        // delta: x + 1, y + 1 -> skips the middle row and a pixel
      0x05, 0x02,                    // five blue, cut at the row's end
      0x00, 0x01,                    // end of bitmap
  };
}

TEST(BmpReader, DecodesRunLengthCodes) {
  struct Case {
    const char* name;
    uint16_t bpp;
    uint32_t compression;
    Bytes stream;
    std::vector<uint32_t> pixels;
  };
  const uint32_t R = kRed, G = kGreen, B = kBlue;
  const std::vector<Case> cases = {
      {"rle8 runs, literal, end of line, delta, end of bitmap",
       8,
       kBmpRle8,
       rle8Stream(),
       // The middle row and the top row's first pixel were skipped: colour 0.
       {R, B, B, B,  //
        R, R, R, R,  //
        G, G, B, G}},
      {"rle4 runs alternate nibbles; literal of three",
       4,
       kBmpRle4,
       {0x03, 0x12, 0x00, 0x00,              // bottom: G B G
        0x00, 0x03, 0x21, 0x00, 0x00, 0x00,  // middle: literal B G R, padded
        0x05, 0x22, 0x00, 0x01},             // top: five blue, cut to four
       {B, B, B, B,                          //
        B, G, R, R,                          //
        G, B, G, R}},
      {"end of bitmap without end of line",
       8,
       kBmpRle8,
       {0x04, 0x01, 0x00, 0x01},
       {R, R, R, R, R, R, R, R, G, G, G, G}},
      {"stream ending right after the last row",
       8,
       kBmpRle8,
       {0x04, 0x01, 0x00, 0x00, 0x04, 0x01, 0x00, 0x00, 0x04, 0x02, 0x00, 0x00},
       {B, B, B, B, G, G, G, G, G, G, G, G}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BmpFields s;
    s.width = 4;
    s.height = 3;
    s.bitsPerPixel = c.bpp;
    s.compression = c.compression;
    s.palette = {kRed, kGreen, kBlue};
    s.pixels = c.stream;
    std::string reason;
    auto p = parseBmp(buildBmp(s), &reason);
    ASSERT_TRUE(p) << reason;
    EXPECT_EQ(p->bitsPerPixel, c.bpp);
    EXPECT_EQ(p->pixels, c.pixels);
  }
}

struct Refusal {
  const char* name;
  Bytes file;
  const char* reason;  // part of the reason given
};

std::vector<Refusal> refusals() {
  std::vector<Refusal> cases;
  auto with = [](auto change) {
    BmpFields s = direct24(false);
    change(s);
    return buildBmp(s);
  };
  cases.push_back({"empty file", {}, "no BM signature"});
  cases.push_back({"another format", {'G', 'I', 'F', '8', '9', 'a'}, "no BM signature"});
  cases.push_back({"signature only", {'B', 'M', 0, 0}, "truncated"});
  {
    Bytes f = buildBmp(direct24(false));
    f.resize(30);
    cases.push_back({"cut inside the info header", f, "truncated"});
  }
  cases.push_back({"header size 20", with([](BmpFields& s) { s.headerSize = 20; }),
                   "unsupported info header size 20"});
  cases.push_back({"two planes", with([](BmpFields& s) { s.planes = 2; }), "2 colour planes"});
  cases.push_back({"embedded JPEG", with([](BmpFields& s) {
                     s.headerSize = 124;
                     s.bitsPerPixel = 0;
                     s.compression = 4;
                   }),
                   "JPEG"});
  cases.push_back({"embedded PNG", with([](BmpFields& s) {
                     s.bitsPerPixel = 0;
                     s.compression = 5;
                   }),
                   "PNG"});
  cases.push_back({"OS/2 Huffman coding", with([](BmpFields& s) {
                     s.headerSize = 64;
                     s.bitsPerPixel = 1;
                     s.compression = 3;
                   }),
                   "Huffman"});
  cases.push_back({"unknown compression", with([](BmpFields& s) { s.compression = 9; }),
                   "unsupported compression 9"});
  cases.push_back({"3 bits per pixel", with([](BmpFields& s) { s.bitsPerPixel = 3; }),
                   "unsupported 3 bits per pixel"});
  cases.push_back({"64 bits per pixel", with([](BmpFields& s) { s.bitsPerPixel = 64; }),
                   "unsupported 64 bits per pixel"});
  cases.push_back({"rle8 at 4 bits", with([](BmpFields& s) {
                     s.bitsPerPixel = 4;
                     s.compression = kBmpRle8;
                   }),
                   "does not go with"});
  cases.push_back({"bitfields at 24 bits", with([](BmpFields& s) {
                     s.compression = kBmpBitfields;
                     s.masks = {0xFF0000, 0xFF00, 0xFF};
                   }),
                   "does not go with"});
  cases.push_back({"width 0", with([](BmpFields& s) { s.width = 0; }), "no pixels"});
  cases.push_back({"negative width", with([](BmpFields& s) { s.width = -3; }), "no pixels"});
  cases.push_back({"height 0", with([](BmpFields& s) { s.height = 0; }), "no pixels"});
  cases.push_back({"top-down rle", with([](BmpFields& s) {
                     s.bitsPerPixel = 8;
                     s.compression = kBmpRle8;
                     s.height = -3;
                     s.palette = {kRed};
                     s.pixels = {0x00, 0x01};
                   }),
                   "bottom-up"});
  cases.push_back({"absurd size", with([](BmpFields& s) {
                     s.width = 3000000;
                     s.height = 2000000;
                   }),
                   "too large"});
  {
    Bytes f = buildBmp(direct24(false));
    f.resize(f.size() - 5);
    cases.push_back({"truncated pixel data", f, "truncated: the pixels need"});
  }
  cases.push_back({"pixel offset past the end", with([](BmpFields& s) {
                     s.pixelOffset = 5000;
                     s.pixels.clear();
                   }),
                   "past the end"});
  {
    Bytes f = buildBmp(direct24(false));
    storeLe32(&f[10], 20);
    cases.push_back({"pixel offset inside the headers", f, "inside the headers"});
  }
  cases.push_back({"rle stream cut inside the picture", with([](BmpFields& s) {
                     s.bitsPerPixel = 8;
                     s.compression = kBmpRle8;
                     s.palette = {kRed};
                     s.pixels = {0x03, 0x00, 0x00, 0x00, 0x03};
                   }),
                   "ends inside the picture"});
  cases.push_back({"rle literal cut", with([](BmpFields& s) {
                     s.bitsPerPixel = 8;
                     s.compression = kBmpRle8;
                     s.palette = {kRed};
                     s.pixels = {0x00, 0x05, 0x00, 0x00};
                   }),
                   "ends inside a literal"});
  cases.push_back({"rle delta cut", with([](BmpFields& s) {
                     s.bitsPerPixel = 8;
                     s.compression = kBmpRle8;
                     s.palette = {kRed};
                     s.pixels = {0x00, 0x02, 0x01};
                   }),
                   "ends inside a delta"});
  cases.push_back({"rle too short for its size", with([](BmpFields& s) {
                     s.width = 10000;
                     s.height = 10000;
                     s.bitsPerPixel = 8;
                     s.compression = kBmpRle8;
                     s.palette = {kRed};
                     s.pixels = {0x00, 0x01};
                   }),
                   "cannot make up"});
  cases.push_back({"mask with a gap", with([](BmpFields& s) {
                     s.bitsPerPixel = 16;
                     s.compression = kBmpBitfields;
                     s.masks = {0xF00F, 0x07E0, 0x001F};
                   }),
                   "not one run of bits"});
  {
    BmpFields s;
    s.width = 1;
    s.height = 1;
    s.bitsPerPixel = 16;
    s.compression = kBmpBitfields;
    Bytes f = buildBmp(s);
    f.resize(14 + 40 + 8);  // masks cut
    cases.push_back({"masks cut", f, "colour masks run past"});
  }
  return cases;
}

TEST(BmpReader, RefusesWithAReason) {
  for (const Refusal& c : refusals()) {
    SCOPED_TRACE(c.name);
    std::string reason;
    EXPECT_FALSE(parseBmp(c.file, &reason));
    EXPECT_NE(reason.find(c.reason), std::string::npos) << reason;
    // Faults in a run-length stream show only when its pixels are decoded.
    const bool inStream = std::string(c.reason).find("ends inside") != std::string::npos;
    EXPECT_EQ(describeBmp(c.file).has_value(), inStream);
  }
}

// Every cut of a file is either refused or decoded, never read past.
TEST(BmpReader, SurvivesEveryTruncation) {
  BmpFields rle;
  rle.width = 4;
  rle.height = 3;
  rle.bitsPerPixel = 8;
  rle.compression = kBmpRle8;
  rle.palette = {kRed, kGreen, kBlue};
  rle.pixels = rle8Stream();
  BmpFields masked;
  masked.headerSize = 124;
  masked.width = 3;
  masked.height = 2;
  masked.bitsPerPixel = 16;
  masked.compression = kBmpBitfields;
  masked.masks = {0xF800, 0x07E0, 0x001F};
  masked.pixels = storeRows(3, 2, 16, [](int32_t x, int32_t y) { return uint32_t(x * 999 + y); });
  for (const BmpFields& s : {direct24(false), indexed(4, 12), rle, masked}) {
    const Bytes whole = buildBmp(s);
    for (size_t n = 0; n < whole.size(); ++n) {
      const Bytes cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(n));
      std::string reason;
      auto p = parseBmp(cut, &reason);
      // Only the final row's padding may go missing.
      if (s.compression == kBmpRgb && whole.size() - n > 3) {
        EXPECT_FALSE(p) << n;
      }
      if (!p) {
        EXPECT_FALSE(reason.empty()) << n;
      }
    }
  }
}

TEST(BmpReader, DescribesWithoutDecoding) {
  BmpFields s = indexed(8, 108);
  s.height = -2;
  s.pixels = storeRows(
      3, 2, 8, [](int32_t, int32_t) { return 0u; }, true);
  auto info = describeBmp(buildBmp(s));
  ASSERT_TRUE(info);
  EXPECT_EQ(info->width, 3);
  EXPECT_EQ(info->height, 2);
  EXPECT_TRUE(info->topDown);
  EXPECT_EQ(info->headerSize, 108u);
  EXPECT_EQ(info->paletteEntries, 6u);
  EXPECT_EQ(info->pixelOffset, 14u + 108 + 6 * 4);
  EXPECT_EQ(compressionName(info->compression), "rgb");

  // A table announced longer than the room before the pixels is cut to what is there.
  BmpFields cut = indexed(8);
  cut.coloursUsed = 200;
  EXPECT_EQ(describeBmp(buildBmp(cut))->paletteEntries, 6u);
}

TEST(PictureLoading, ReadsThroughTheFilesSeam) {
  test::TempDir dir;
  test::writeFile(dir.file("six.bmp"), buildBmp(direct24(false)));
  test::writeText(dir.file("notes.bmp"), "not a picture");

  std::string reason;
  auto p = loadPicture(dir.file("six.bmp"), &reason);
  ASSERT_TRUE(p) << reason;
  EXPECT_EQ(p->pixels, kSix);

  LoadProblem problem = LoadProblem::none;
  EXPECT_FALSE(openPicture(dir.file("missing.bmp"), &reason, &problem));
  EXPECT_EQ(problem, LoadProblem::cannotRead);
  EXPECT_FALSE(openPicture(dir.file("notes.bmp"), &reason, &problem));
  EXPECT_EQ(problem, LoadProblem::notPicture);
  EXPECT_NE(reason.find("no BM signature"), std::string::npos);
}

}  // namespace
}  // namespace lumora::picture
