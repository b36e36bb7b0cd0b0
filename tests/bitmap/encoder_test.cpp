#include "bitmap/encoder.h"

#include <gtest/gtest.h>

#include <random>

#include "bitmap/format.h"
#include "tests/platform/picture/bmp_builder.h"
#include "tests/support/temp_dir.h"

namespace lumora::bitmap {
namespace {

using picture::colourRef;
using picture::Picture;

DeviceCapabilities device(uint8_t depth = 16, int16_t maxWidth = 160, int16_t maxHeight = 160,
                          uint16_t density = 144, uint8_t compression = 1) {
  DeviceCapabilities c;
  c.depth = depth;
  c.maxWidth = maxWidth;
  c.maxHeight = maxHeight;
  c.density = density;
  c.compression = compression;
  return c;
}

Picture uniform(int32_t width, int32_t height, uint32_t colour, uint16_t storedBits = 24) {
  Picture p;
  p.width = width;
  p.height = height;
  p.bitsPerPixel = storedBits;
  p.pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height), colour);
  return p;
}

Picture noise(int32_t width, int32_t height, uint16_t storedBits, unsigned seed) {
  Picture p = uniform(width, height, 0, storedBits);
  std::mt19937 rng(seed);
  for (auto& c : p.pixels) c = rng() & 0xFFFFFF;
  return p;
}

BitmapHeader headerOf(const Bytes& bitmap) {
  return parseHeader(bitmap).value();
}

TEST(ColourToIndex, MapsToTheCubeWithoutDithering) {
  const struct {
    uint8_t r, g, b;
    uint8_t index;
  } cases[] = {
      {255, 255, 255, 0},   {255, 0, 0, 125},  {0, 255, 0, 210}, {0, 0, 255, 95},
      {128, 128, 128, 165}, {43, 43, 43, 190}, {0, 0, 0, 215},   {42, 42, 42, 215},
      {214, 215, 0, 138},   {86, 85, 129, 70},
  };
  for (const auto& c : cases)
    EXPECT_EQ(colourToIndex(c.r, c.g, c.b), c.index)
        << int(c.r) << "," << int(c.g) << "," << int(c.b);
}

// The index must name the palette entry whose cube levels are the colour's bands.
TEST(ColourToIndex, AgreesWithTheSystemPalette) {
  auto palette = colourTable(8);
  auto band = [](unsigned v) { return v / 43 * 0x33; };
  for (unsigned v = 0; v < 256; ++v) {
    for (unsigned other : {0u, 100u, 255u}) {
      const uint8_t a = static_cast<uint8_t>(v), o = static_cast<uint8_t>(other);
      const Rgb red = palette[colourToIndex(a, o, o)];
      const Rgb green = palette[colourToIndex(o, a, o)];
      const Rgb blue = palette[colourToIndex(o, o, a)];
      ASSERT_EQ(red, (Rgb{uint8_t(band(v)), uint8_t(band(other)), uint8_t(band(other))})) << v;
      ASSERT_EQ(green, (Rgb{uint8_t(band(other)), uint8_t(band(v)), uint8_t(band(other))})) << v;
      ASSERT_EQ(blue, (Rgb{uint8_t(band(other)), uint8_t(band(other)), uint8_t(band(v))})) << v;
    }
  }
}

TEST(ColourToRgb565, CutsTheLowBits) {
  const struct {
    uint8_t r, g, b;
    uint16_t value;
  } cases[] = {{255, 255, 255, 0xFFFF}, {255, 0, 0, 0xF800}, {0, 255, 0, 0x07E0},
               {0, 0, 255, 0x001F},     {7, 3, 7, 0x0000},   {8, 4, 8, 0x0821}};
  for (const auto& c : cases) EXPECT_EQ(colourToRgb565(c.r, c.g, c.b), c.value);
}

TEST(Encoder, ChoosesTheDepth) {
  const struct {
    unsigned stored;
    uint8_t device;
    unsigned depth;
  } cases[] = {{1, 16, 8}, {4, 16, 8}, {8, 16, 8}, {16, 16, 16}, {24, 16, 16}, {32, 16, 16},
               {24, 8, 8}, {24, 4, 8}, {24, 1, 8}, {24, 9, 16},  {16, 8, 8}};
  for (const auto& c : cases)
    EXPECT_EQ(chooseDepth(c.stored, c.device), c.depth) << c.stored << " on " << int(c.device);
}

TEST(Encoder, SizeTestDependsOnTheProductOfTheMaxima) {
  const struct {
    int32_t width, height;
    unsigned depth;
    bool fits;
  } cases[] = {
      {160, 160, 8, true},   {161, 160, 8, false}, {100, 256, 8, true},  {160, 160, 16, true},
      {161, 160, 16, false}, {320, 80, 8, true},   {159, 161, 8, false}, {1, 1, 8, true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(fitsDevice(c.width, c.height, c.depth, device()), c.fits)
        << c.width << " x " << c.height << " at " << c.depth;
  }
  // Exchanging the maxima never changes the outcome.
  for (int32_t w : {50, 100, 200, 321}) {
    EXPECT_EQ(fitsDevice(w, 90, 16, device(16, 320, 100)),
              fitsDevice(w, 90, 16, device(16, 100, 320)));
  }
}

TEST(Encoder, DevicesWithoutRoomTakeNothing) {
  const struct {
    int16_t maxWidth, maxHeight;
  } cases[] = {{0, 160}, {160, 0}, {-160, 160}, {160, -1}, {-160, -160}};
  for (const auto& c : cases)
    EXPECT_FALSE(fitsDevice(1, 1, 8, device(16, c.maxWidth, c.maxHeight)))
        << c.maxWidth << " x " << c.maxHeight;
  // A side the header cannot hold is refused whatever the maxima.
  EXPECT_FALSE(fitsDevice(32768, 1, 8, device(16, 32767, 32767)));
  EXPECT_TRUE(fitsDevice(32767, 1, 8, device(16, 32767, 32767)));
}

TEST(Encoder, UniformPictureIsCoded) {
  auto r = encodePicture(uniform(160, 160, colourRef(255, 0, 0), 8), device());
  ASSERT_EQ(r.status, EncodeStatus::encoded);
  ASSERT_EQ(r.bitmap.size(), 436u);
  const BitmapHeader h = headerOf(r.bitmap);
  EXPECT_EQ(h.bitsPerPixel, 8);
  EXPECT_EQ(h.compressionType, 1);
  EXPECT_EQ(h.rawSize, 25600u);
  EXPECT_EQ(r.bitmap[32], 0x7F);
  EXPECT_EQ(r.bitmap[33], 125);  // red
  EXPECT_EQ(r.bitmap[32 + 402], 73);
}

// 34 x 2 at 8 bits: rawSize 68, so the coded form is kept up to 48 bytes.
Picture codedLength(size_t literal) {
  Picture p = uniform(34, 2, colourRef(255, 0, 0), 8);
  for (size_t i = 0; i < literal; ++i)
    p.pixels[i] = i % 2 ? colourRef(0, 0, 0) : colourRef(255, 255, 255);
  return p;
}

TEST(Encoder, KeepsTheCodedFormOnlyWhenItSavesAFifth) {
  const struct {
    size_t literal;
    size_t coded;  // literal + 1 + one repeat packet
    bool kept;
  } cases[] = {{45, 48, true}, {46, 49, false}, {10, 13, true}};
  for (const auto& c : cases) {
    const Bytes plain = encodePicture(codedLength(c.literal), device(8, 160, 160, 144, 0)).bitmap;
    ASSERT_EQ(packRuns(ByteView(plain).subspan(32), RunUnit::byte).size(), c.coded);
    auto r = encodePicture(codedLength(c.literal), device(8));
    const BitmapHeader h = headerOf(r.bitmap);
    EXPECT_EQ(h.rawSize, 68u);
    EXPECT_EQ(h.compressionType, c.kept ? 1 : 0) << c.literal;
    EXPECT_EQ(r.bitmap.size(), c.kept ? 32 + c.coded : 32 + 68u) << c.literal;
  }
}

TEST(Encoder, NoiseStaysPlainAlthoughCodingWasAsked) {
  for (uint8_t depth : {8, 16}) {
    auto r = encodePicture(noise(160, 160, 24, depth), device(depth));
    const BitmapHeader h = headerOf(r.bitmap);
    EXPECT_EQ(h.compressionType, 0);
    EXPECT_EQ(r.bitmap.size(), 32 + h.rawSize);
    EXPECT_EQ(h.rawSize, 160u * 160 * depth / 8);
  }
}

TEST(Encoder, PassesTheCompressionValueThrough) {
  auto r = encodePicture(uniform(20, 20, 0, 24), device(16, 160, 160, 72, 5));
  EXPECT_EQ(headerOf(r.bitmap).compressionType, 5);
}

TEST(Encoder, DensityChangesOnlyTheHeader) {
  const Picture p = noise(33, 7, 24, 3);
  for (uint8_t compression : {0, 1}) {
    auto low = encodePicture(p, device(16, 160, 160, 72, compression)).bitmap;
    auto high = encodePicture(p, device(16, 160, 160, 144, compression)).bitmap;
    ASSERT_EQ(low.size(), high.size());
    EXPECT_EQ(Bytes(low.begin() + 7, low.begin() + 10), (Bytes{0x02, 0x00, 0x48}));
    EXPECT_EQ(Bytes(high.begin() + 7, high.begin() + 10), (Bytes{0x03, 0x00, 0x90}));
    for (size_t i = 0; i < low.size(); ++i) {
      if (i < 7 || i > 9) {
        EXPECT_EQ(low[i], high[i]) << i;
      }
    }
  }
}

TEST(Encoder, LaysOutPixelsRowByRow) {
  // 3 x 2: odd width, so 8-bit rows get a zero padding byte.
  Picture p = uniform(3, 2, 0, 24);
  p.pixels = {colourRef(255, 255, 255), colourRef(255, 0, 0), colourRef(0, 255, 0),
              colourRef(0, 0, 255),     colourRef(7, 3, 7),   colourRef(128, 128, 128)};
  auto eight = encodePicture(p, device(8, 160, 160, 72, 0)).bitmap;
  EXPECT_EQ(Bytes(eight.begin() + 32, eight.end()), (Bytes{0, 125, 210, 0, 95, 215, 165, 0}));
  EXPECT_EQ(headerOf(eight).bitsPerPixel, 8);

  auto sixteen = encodePicture(p, device(16, 160, 160, 72, 0)).bitmap;
  EXPECT_EQ(Bytes(sixteen.begin() + 32, sixteen.end()),
            (Bytes{0xFF, 0xFF, 0xF8, 0x00, 0x07, 0xE0, 0x00, 0x1F, 0x00, 0x00, 0x84, 0x10}));
  EXPECT_EQ(headerOf(sixteen).bitsPerPixel, 16);

  // A palette picture becomes 8 bits even on a 16-bit device.
  p.bitsPerPixel = 4;
  EXPECT_EQ(headerOf(encodePicture(p, device(16)).bitmap).bitsPerPixel, 8);
}

TEST(Encoder, RefusesPicturesTooLargeOrEmpty) {
  auto big = encodePicture(uniform(161, 160, 0, 8), device());
  EXPECT_EQ(big.status, EncodeStatus::tooLarge);
  EXPECT_TRUE(big.bitmap.empty());
  EXPECT_NE(big.reason.find("161 x 160"), std::string::npos) << big.reason;

  Picture broken = uniform(4, 4, 0);
  broken.pixels.pop_back();
  EXPECT_EQ(encodePicture(broken, device()).status, EncodeStatus::unreadable);
  EXPECT_EQ(encodePicture(Picture{}, device()).status, EncodeStatus::unreadable);
}

class EncoderFiles : public ::testing::Test {
 protected:
  std::string write(const std::string& name, int32_t width, int32_t height) {
    test::BmpFields s;
    s.width = width;
    s.height = height;
    s.pixels = test::storeRows(width, height, 24, [](int32_t x, int32_t y) {
      return colourRef(uint8_t(x * 8), uint8_t(y * 8), 0);
    });
    test::writeFile(dir_.file(name), test::buildBmp(s));
    return dir_.file(name);
  }
  test::TempDir dir_;
};

TEST_F(EncoderFiles, EncodesAFileLikeAPicture) {
  const std::string path = write("ramp.bmp", 20, 10);
  auto bitmap = encodeBitmap(path, device());
  ASSERT_TRUE(bitmap);
  auto direct = encodePicture(*picture::loadPicture(path), device());
  EXPECT_EQ(*bitmap, direct.bitmap);
  EXPECT_EQ(headerOf(*bitmap).width, 20);
  EXPECT_EQ(headerOf(*bitmap).bitsPerPixel, 16);
}

TEST_F(EncoderFiles, RefusalsSayWhy) {
  test::writeText(dir_.file("text.bmp"), "hello, not a picture");
  const struct {
    std::string path;
    EncodeStatus status;
  } cases[] = {
      {write("big.bmp", 161, 160), EncodeStatus::tooLarge},
      {dir_.file("text.bmp"), EncodeStatus::unreadable},
      {dir_.file("missing.bmp"), EncodeStatus::cannotOpen},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    auto r = encodeFile(c.path, device(8));
    EXPECT_EQ(r.status, c.status);
    EXPECT_FALSE(r.reason.empty());
    EXPECT_FALSE(encodeBitmap(c.path, device(8)));
  }
}

}  // namespace
}  // namespace lumora::bitmap
