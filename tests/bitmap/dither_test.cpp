#include "bitmap/dither.h"

#include <gtest/gtest.h>

#include <random>

#include "bitmap/encoder.h"
#include "bitmap/format.h"

namespace lumora::bitmap {
namespace {

using picture::colourRef;

TEST(NearestPaletteIndex, PicksTheClosestCubeColourOrGrey) {
  const struct {
    uint8_t r, g, b;
    uint8_t index;
  } cases[] = {
      {255, 255, 255, 0},      {0, 0, 0, 215},          {255, 0, 0, 125},
      {0x11, 0x11, 0x11, 216}, {26, 26, 26, 217},       {0xC0, 0xC0, 0xC0, 226},
      {0xC3, 0xBE, 0xC1, 226}, {26, 0, 0, 197},  // nearer to 51 than 0, unlike colourToIndex
      {0x33, 0x66, 0x99, 87},  {0x80, 0x00, 0x00, 227}, {0x00, 0x80, 0x80, 230},
  };
  for (const auto& c : cases) {
    const uint8_t got = nearestPaletteIndex(c.r, c.g, c.b);
    EXPECT_EQ(got, c.index) << int(c.r) << "," << int(c.g) << "," << int(c.b);
    // Whatever it picks, no palette colour is nearer.
    const auto palette = colourTable(8);
    auto distance = [&](const Rgb& p) {
      return (p.r - c.r) * (p.r - c.r) + (p.g - c.g) * (p.g - c.g) + (p.b - c.b) * (p.b - c.b);
    };
    for (size_t i = 0; i < 231; ++i) EXPECT_LE(distance(palette[got]), distance(palette[i])) << i;
  }
}

std::vector<uint8_t> dithered(const std::vector<uint32_t>& pixels, int32_t width) {
  PaletteDither dither(width);
  std::vector<uint8_t> out(pixels.size());
  for (size_t y = 0; y * size_t(width) < pixels.size(); ++y)
    dither.row(std::span(pixels).subspan(y * size_t(width), size_t(width)),
               std::span(out).subspan(y * size_t(width), size_t(width)));
  return out;
}

TEST(PaletteDither, PaletteColoursStayAndOthersAverageOut) {
  const auto palette = colourTable(8);
  const struct {
    const char* what;
    uint32_t colour;
  } cases[] = {{"cube colour", colourRef(0x33, 0x99, 0xFF)},
               {"extra grey", colourRef(0xC0, 0xC0, 0xC0)},
               {"between greys", colourRef(0x80, 0x80, 0x80)},
               {"between cube colours", colourRef(0x40, 0xA0, 0x10)}};
  for (const auto& c : cases) {
    const int32_t w = 64, h = 64;
    const std::vector<uint32_t> flat(size_t(w * h), c.colour);
    const auto out = dithered(flat, w);
    double r = 0, g = 0, b = 0;
    for (uint8_t i : out) {
      r += palette[i].r;
      g += palette[i].g;
      b += palette[i].b;
    }
    const double n = double(out.size());
    EXPECT_NEAR(r / n, picture::redOf(c.colour), 1.0) << c.what;
    EXPECT_NEAR(g / n, picture::greenOf(c.colour), 1.0) << c.what;
    EXPECT_NEAR(b / n, picture::blueOf(c.colour), 1.0) << c.what;
  }
}

picture::Picture noisePicture(int32_t w, int32_t h, unsigned seed) {
  picture::Picture p;
  p.width = w;
  p.height = h;
  p.bitsPerPixel = 24;
  std::mt19937 rng(seed);
  p.pixels.resize(size_t(w * h));
  for (auto& c : p.pixels) c = rng() & 0xFFFFFF;
  return p;
}

DeviceCapabilities device(uint8_t depth) {
  return {.depth = depth, .maxWidth = 160, .maxHeight = 160, .density = 72};
}

TEST(EncodeOptions, DitherChangesOnlyEightBitPicturesAndRepeatsExactly) {
  const picture::Picture p = noisePicture(37, 23, 11);
  const auto plain8 = encodePicture(p, device(8)).bitmap;
  const auto dither8 = encodePicture(p, device(8), {false, true}).bitmap;
  // Without the option, every pixel is the cube colour nearest below, as always.
  for (int32_t y = 0; y < p.height; ++y)
    for (int32_t x = 0; x < p.width; ++x) {
      const uint32_t c = p.pixels[size_t(y * p.width + x)];
      ASSERT_EQ(plain8[kHeaderSize + size_t(y) * rowLength(p.width, 8) + size_t(x)],
                colourToIndex(picture::redOf(c), picture::greenOf(c), picture::blueOf(c)));
    }
  EXPECT_NE(dither8, plain8);
  EXPECT_EQ(encodePicture(p, device(8), {false, true}).bitmap, dither8);
  EXPECT_EQ(encodePicture(p, device(16), {false, true}).bitmap,
            encodePicture(p, device(16)).bitmap);
}

}  // namespace
}  // namespace lumora::bitmap
