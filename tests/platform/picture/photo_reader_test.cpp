#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/picture/picture.h"
#include "tests/platform/picture/photo_builder.h"
#include "tests/support/temp_dir.h"

namespace lumora::picture {
namespace {

using test::JpegKind;
using test::makeHeif;
using test::makeJpeg;
using test::makePng;
using test::makeRgbPng;
using test::PngRecipe;

constexpr uint32_t kRed = colourRef(255, 0, 0);
constexpr uint32_t kGreen = colourRef(0, 255, 0);
constexpr uint32_t kBlue = colourRef(0, 0, 255);
constexpr uint32_t kWhite = colourRef(255, 255, 255);

int distance(uint32_t a, uint32_t b) {
  return std::max({std::abs(redOf(a) - redOf(b)), std::abs(greenOf(a) - greenOf(b)),
                   std::abs(blueOf(a) - blueOf(b))});
}

uint32_t at(const Picture& p, int32_t x, int32_t y) {
  return p.pixels[static_cast<size_t>(y) * static_cast<size_t>(p.width) + static_cast<size_t>(x)];
}

// A stored picture, wider than high, whose top-left block is red and top-right block
// green; blocks of `block` pixels so lossy coding keeps their centres.
test::PixelFn markers(int32_t width, int32_t block) {
  return [=](int32_t x, int32_t y) {
    if (y < block && x < block) return kRed;
    if (y < block && x >= width - block) return kGreen;
    return kWhite;
  };
}

enum Corner { TL, TR, BL, BR };

uint32_t centreOf(const Picture& p, Corner c, int32_t block) {
  const int32_t in = block / 2;
  const int32_t x = c == TL || c == BL ? in : p.width - 1 - in;
  const int32_t y = c == TL || c == TR ? in : p.height - 1 - in;
  return at(p, x, y);
}

Bytes makeFile(PictureFormat f, int32_t w, int32_t h, int32_t block, uint16_t orientation,
               bool heifExifToo) {
  switch (f) {
    case PictureFormat::Jpeg:
      return makeJpeg(w, h, markers(w, block), orientation);
    case PictureFormat::Png:
      return makeRgbPng(w, h, markers(w, block), orientation);
    default:
      return makeHeif(w, h, markers(w, block), orientation, heifExifToo);
  }
}

// Where the stored top-left (red) and top-right (green) corners show once upright.
struct OrientationCase {
  uint16_t tag;
  Corner red, green;
};
constexpr OrientationCase kOrientations[] = {
    {1, TL, TR}, {2, TR, TL}, {3, BR, BL}, {4, BL, BR},
    {5, TL, BL}, {6, TR, BR}, {7, BR, TR}, {8, BL, TL},
};

TEST(PhotoReader, EveryOrientationTagOfEveryFormatComesOutUpright) {
  struct FormatCase {
    PictureFormat format;
    int32_t width, height, block, tolerance;
    bool reportsTag;                  // HEIF's rotation is applied by the container, not reported
    bool heifExifToo = false;         // the tag also as EXIF: not applied on top of the container's
    const char* mainBrand = nullptr;  // written over the HEIF file's own
  };
  const FormatCase formats[] = {
      {PictureFormat::Jpeg, 32, 16, 8, 24, true},
      {PictureFormat::Png, 12, 6, 3, 0, true},
      {PictureFormat::Heif, 64, 32, 16, 48, false},
      {PictureFormat::Heif, 64, 32, 16, 48, false, true},
      {PictureFormat::Heif, 64, 32, 16, 48, false, false, "mif2"},  // still lists mif1
  };
  for (const auto& f : formats) {
    for (const auto& o : kOrientations) {
      SCOPED_TRACE(formatName(f.format) + (f.heifExifToo ? " with EXIF" : "") + " orientation " +
                   std::to_string(o.tag));
      Bytes file = makeFile(f.format, f.width, f.height, f.block, o.tag, f.heifExifToo);
      ASSERT_FALSE(file.empty());
      if (f.mainBrand) std::copy_n(f.mainBrand, 4, file.begin() + 8);
      EXPECT_EQ(sniffFormat(file), f.format);
      const bool swap = o.tag >= 5;
      auto d = describePicture(file);
      ASSERT_TRUE(d);
      EXPECT_EQ(d->width, swap ? f.height : f.width);
      EXPECT_EQ(d->height, swap ? f.width : f.height);
      EXPECT_EQ(d->orientation, f.reportsTag ? o.tag : 1);
      std::string reason;
      auto p = decodePicture(file, kPictureLimits, {}, &reason);
      ASSERT_TRUE(p) << reason;
      EXPECT_EQ(p->width, d->width);
      EXPECT_EQ(p->height, d->height);
      EXPECT_LE(distance(centreOf(*p, o.red, f.block), kRed), f.tolerance);
      EXPECT_LE(distance(centreOf(*p, o.green, f.block), kGreen), f.tolerance);
    }
  }
}

TEST(PhotoReader, JpegKindsDecodeToTheirColours) {
  struct Case {
    JpegKind kind;
    uint32_t colour, expected;
    uint16_t bitsPerPixel;
  };
  const Case cases[] = {
      {JpegKind::rgb, colourRef(200, 40, 90), colourRef(200, 40, 90), 24},
      {JpegKind::progressive, colourRef(10, 120, 240), colourRef(10, 120, 240), 24},
      {JpegKind::grey, colourRef(77, 0, 0), colourRef(77, 77, 77), 8},
      {JpegKind::cmyk, kRed, kRed, 32},
      {JpegKind::cmyk, colourRef(40, 80, 160), colourRef(40, 80, 160), 32},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.kind));
    auto p = decodePicture(makeJpeg(
                               16, 8, [&](int32_t, int32_t) { return c.colour; }, 0, c.kind),
                           kPictureLimits, {});
    ASSERT_TRUE(p);
    EXPECT_EQ(p->bitsPerPixel, c.bitsPerPixel);
    EXPECT_LE(distance(at(*p, 5, 5), c.expected), 6);
  }
}

TEST(PhotoReader, JpegDctScaleIsTheSmallestStillAtLeastTheHint) {
  struct Case {
    uint16_t orientation;
    DecodeHint hint;
    int32_t width, height;  // upright result
  };
  const Case cases[] = {
      {1, {0, 0}, 64, 48},
      {1, {8, 6}, 8, 6},
      {1, {9, 6}, 16, 12},
      {1, {32, 24}, 32, 24},
      {1, {33, 1}, 40, 30},
      {1, {0, 12}, 16, 12},
      {1, {64, 48}, 64, 48},
      {1, {500, 500}, 64, 48},
      // Turned a quarter: the hint is upright, the scale applies to the stored sides.
      {6, {6, 8}, 6, 8},
      {6, {8, 6}, 12, 16},
      {8, {48, 64}, 48, 64},
  };
  const Bytes plain = makeJpeg(64, 48, markers(64, 8));
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.hint.atLeastWidth) + " x " +
                 std::to_string(c.hint.atLeastHeight));
    const Bytes file = c.orientation == 1 ? plain : makeJpeg(64, 48, markers(64, 8), c.orientation);
    auto p = decodePicture(file, kPictureLimits, c.hint);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->width, c.width);
    EXPECT_EQ(p->height, c.height);
  }
}

PngRecipe png(uint8_t colourType, uint8_t bitDepth, std::initializer_list<unsigned> values,
              bool interlaced = false) {
  PngRecipe s;
  s.width = 2;
  s.height = 1;
  s.colourType = colourType;
  s.bitDepth = bitDepth;
  s.interlaced = interlaced;
  for (unsigned v : values) {
    if (bitDepth != 16)
      appendU8(s.samples, static_cast<uint8_t>(v));
    else if (std::endian::native == std::endian::little)  // the encoder takes host order
      appendLe16(s.samples, static_cast<uint16_t>(v));
    else
      appendBe16(s.samples, static_cast<uint16_t>(v));
  }
  return s;
}

PngRecipe withPalette(PngRecipe s, std::vector<uint32_t> palette, std::vector<uint8_t> alpha) {
  s.palette = std::move(palette);
  s.paletteAlpha = std::move(alpha);
  return s;
}

TEST(PhotoReader, PngVariantsComeOutAsColoursOnWhite) {
  struct Case {
    const char* name;
    PngRecipe recipe;
    uint32_t first, second;  // the two pixels of a 2 x 1 picture
    uint16_t bitsPerPixel;
    bool alpha;
  };
  const Case cases[] = {
      {"rgb 16-bit", png(2, 16, {0xFF00, 0x8000, 0, 0, 0, 0xFFFF}), colourRef(255, 128, 0), kBlue,
       48, false},
      {"grey 8-bit", png(0, 8, {100, 255}), colourRef(100, 100, 100), kWhite, 8, false},
      {"grey 16-bit", png(0, 16, {0x4000, 0}), colourRef(64, 64, 64), 0, 16, false},
      {"grey 1-bit", png(0, 1, {0x40}), 0, kWhite, 1, false},
      {"grey and alpha", png(4, 8, {0, 0, 0, 255}), kWhite, 0, 16, true},
      {"grey and alpha 16-bit", png(4, 16, {0, 0x8000, 0xFFFF, 0xFFFF}), colourRef(127, 127, 127),
       kWhite, 32, true},
      {"palette with transparency", withPalette(png(3, 8, {1, 2}), {kGreen, kRed, kBlue}, {255, 0}),
       kWhite, kBlue, 8, true},
      {"rgba", png(6, 8, {255, 0, 0, 128, 0, 0, 255, 255}), colourRef(255, 127, 127), kBlue, 32,
       true},
      {"rgb interlaced", png(2, 8, {1, 2, 3, 4, 5, 6}, true), colourRef(1, 2, 3),
       colourRef(4, 5, 6), 24, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes file = makePng(c.recipe);
    auto d = describePicture(file);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->bitsPerPixel, c.bitsPerPixel);
    EXPECT_EQ(d->alpha, c.alpha);
    std::string reason;
    auto p = decodePicture(file, kPictureLimits, {}, &reason);
    ASSERT_TRUE(p) << reason;
    EXPECT_LE(distance(at(*p, 0, 0), c.first), 1);
    EXPECT_LE(distance(at(*p, 1, 0), c.second), 1);
  }
}

TEST(PhotoReader, InterlacedPngIsPlacedByItsOrientation) {
  const auto pixel = [](int32_t x, int32_t y) {
    return colourRef(uint8_t(x * 20), uint8_t(y * 20), 7);
  };
  auto p = decodePicture(makeRgbPng(11, 9, pixel, 6, true), kPictureLimits, {});
  ASSERT_TRUE(p);
  ASSERT_EQ(p->width, 9);
  for (int32_t y = 0; y < 9; ++y)
    for (int32_t x = 0; x < 11; ++x) ASSERT_EQ(at(*p, 8 - y, x), pixel(x, y)) << x << "," << y;
}

// Patches the announced size of a small valid file: the readers must refuse before they
// allocate 60000 x 60000 pixels.
uint32_t crc32(const uint8_t* p, size_t n) {
  uint32_t c = 0xFFFFFFFF;
  for (size_t i = 0; i < n; ++i) {
    c ^= p[i];
    for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320 & (0 - (c & 1)));
  }
  return ~c;
}

Bytes announcing(PictureFormat f, uint32_t side) {
  if (f == PictureFormat::Jpeg) {
    Bytes b = makeJpeg(16, 16, markers(16, 8));
    for (size_t i = 2; i + 9 < b.size(); ++i) {
      if (b[i] == 0xFF && b[i + 1] == 0xC0) {
        storeBe16(&b[i + 5], static_cast<uint16_t>(side));
        storeBe16(&b[i + 7], static_cast<uint16_t>(side));
        break;
      }
    }
    return b;
  }
  if (f == PictureFormat::Png) {
    Bytes b = makeRgbPng(4, 4, markers(4, 1));
    storeBe32(&b[16], side);
    storeBe32(&b[20], side);
    storeBe32(&b[29], crc32(&b[12], 17));
    return b;
  }
  Bytes b = makeHeif(64, 32, markers(64, 16));
  for (size_t i = 0; i + 16 < b.size(); ++i) {
    if (std::equal(b.begin() + i, b.begin() + i + 4, "ispe")) {
      storeBe32(&b[i + 8], side);
      storeBe32(&b[i + 12], side);
    }
  }
  return b;
}

TEST(PhotoReader, AnnouncedSizesBeyondLimitsAreRefusedBeforeDecoding) {
  struct Case {
    PictureFormat format;
    uint32_t side;
    PictureLimits limits;
  };
  const PictureLimits small{1000, 1000, 1 << 20};
  const Case cases[] = {
      {PictureFormat::Jpeg, 60000, kPictureLimits},
      {PictureFormat::Png, 60000, kPictureLimits},
      {PictureFormat::Heif, 60000, kPictureLimits},
      {PictureFormat::Png, 100000, kPictureLimits},
      {PictureFormat::Jpeg, 40, small},
      {PictureFormat::Png, 40, small},
      {PictureFormat::Heif, 40, small},
      {PictureFormat::Jpeg, 1001, {1000, 1u << 30, 1u << 30}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(formatName(c.format) + " " + std::to_string(c.side));
    std::string reason;
    EXPECT_FALSE(decodePicture(announcing(c.format, c.side), c.limits, {}, &reason));
    EXPECT_NE(reason.find("large"), std::string::npos) << reason;
  }
}

// Files the fuzzer found or that were made from its finds: each item's size property, its
// coded stream and the grid it belongs to disagree, and the library would allocate by the
// largest of them.
TEST(PhotoReader, HeifItemsLargerThanTheirImageAreRefusedBeforeDecoding) {
  struct Case {
    const char* file;
    const char* reason;  // empty: decodes
  };
  const Case cases[] = {
      {"rgba-16x16.heic", ""},
      {"grid-tiles-coding-8192-for-16x16.heic",
       "the tiles of grid item 2 hold 67108864 pixels or more for an image of 16 x 16"},
      {"tile-announcing-4096-coding-64.heic",
       "item 1 announces 4096 x 4096 pixels but codes 64 x 64"},
      {"tile-coding-4096-announcing-64.heic",
       "item 1 announces 64 x 64 pixels but codes 4096 x 4096"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const Bytes file = lumora::test::readFile(std::string(LUMORA_SOURCE_DIR) +
                                              "/fuzz/photos/corpus_heif/" + c.file);
    std::string reason;
    auto p = decodePicture(file, kPictureLimits, {}, &reason);
    EXPECT_EQ(reason, *c.reason ? std::string("not a readable HEIF file: ") + c.reason : "");
    EXPECT_EQ(p.has_value(), !*c.reason);
  }
}

// The PNG with one bit of its image chunk's checksum flipped: every pixel is there.
Bytes withBadImageChecksum(Bytes png) {
  for (size_t i = 8; i + 12 <= png.size(); i += 12 + loadBe32(&png[i])) {
    if (std::equal(png.begin() + ptrdiff_t(i) + 4, png.begin() + ptrdiff_t(i) + 8, "IDAT")) {
      png[i + 8 + loadBe32(&png[i])] ^= 0x01;
      break;
    }
  }
  return png;
}

TEST(PhotoReader, TruncatedOrDamagedFilesAreRefusedWithAReason) {
  const Bytes png = makeRgbPng(64, 48, [](int32_t x, int32_t y) {
    return colourRef(uint8_t(x * 7), uint8_t(y * 5), uint8_t(x * y));
  });
  const struct {
    Bytes file;
    bool whole;  // damaged inside, not cut
  } cases[] = {
      {makeJpeg(64, 48, markers(64, 8)), false},
      {makeJpeg(64, 48, markers(64, 8), 0, JpegKind::progressive), false},
      {png, false},
      {makeHeif(64, 32, markers(64, 16)), false},
      {withBadImageChecksum(png), true},
  };
  for (const auto& [file, whole] : cases) {
    const auto keeps =
        whole ? std::vector<size_t>{file.size()}
              : std::vector<size_t>{1, 12, file.size() / 3, file.size() * 2 / 3, file.size() - 20};
    for (size_t keep : keeps) {
      SCOPED_TRACE(formatName(sniffFormat(file)) + " cut to " + std::to_string(keep));
      std::string reason;
      EXPECT_FALSE(decodePicture(ByteView(file).first(keep), kPictureLimits, {}, &reason));
      EXPECT_FALSE(reason.empty());
    }
  }
}

TEST(PhotoReader, FormatIsToldByContent) {
  struct Case {
    Bytes head;
    PictureFormat format;
  };
  const Case cases[] = {
      {{'B', 'M', 0, 0}, PictureFormat::Bmp},
      {{0xFF, 0xD8, 0xFF, 0xE0}, PictureFormat::Jpeg},
      {{0xFF, 0xD8}, PictureFormat::Unknown},
      {{0x89, 'P', 'N', 'G', 13, 10, 26, 10}, PictureFormat::Png},
      {{0x89, 'P', 'N', 'G', 13, 10, 26}, PictureFormat::Unknown},
      {{0, 0, 0, 24, 'f', 't', 'y', 'p', 'h', 'e', 'i', 'c'}, PictureFormat::Heif},
      {{0, 0, 0, 24, 'f', 't', 'y', 'p', 'm', 'i', 'f', '1'}, PictureFormat::Heif},
      {{0, 0, 0, 24, 'f', 't', 'y', 'p', 'i', 's', 'o', 'm'}, PictureFormat::Unknown},
      {{}, PictureFormat::Unknown},
  };
  for (const auto& c : cases) EXPECT_EQ(sniffFormat(c.head), c.format);
}

TEST(PhotoReader, OpenerTakesPhotosOnlyWhenAskedTo) {
  lumora::test::TempDir dir;
  lumora::test::writeFile(dir.file("photo.bmp"), makeJpeg(32, 16, markers(32, 8), 6));
  std::string reason;
  LoadProblem problem = LoadProblem::none;
  EXPECT_FALSE(openPicture(dir.file("photo.bmp"), &reason, &problem));
  EXPECT_EQ(problem, LoadProblem::notPicture);
  EXPECT_EQ(reason, "not a .bmp file (no BM signature)");
  auto file = openPicture(dir.file("photo.bmp"), &reason, &problem, Formats::all);
  ASSERT_TRUE(file) << reason;
  EXPECT_EQ(file->description.format, PictureFormat::Jpeg);
  EXPECT_EQ(file->description.width, 16);
  auto p = decodePicture(*file, DecodeHint{8, 16});
  ASSERT_TRUE(p);
  EXPECT_EQ(p->width, 8);
  EXPECT_EQ(p->height, 16);
}

}  // namespace
}  // namespace lumora::picture
