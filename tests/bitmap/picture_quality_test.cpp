// Picture quality of fitting and dithering, measured on a generated photo-like scene
// against what an ideal camera of the target size would see.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <functional>

#include "bitmap/encoder.h"
#include "bitmap/fit.h"
#include "bitmap/format.h"
#include "tests/platform/picture/bmp_builder.h"
#include "tests/support/temp_dir.h"

namespace lumora::bitmap {
namespace {

struct Colour {
  double r, g, b;
};

// Smooth light, two textures of middling frequency and a few soft-edged discs, 0..255.
Colour scene(double x, double y) {
  const double light = 0.5 + 0.4 * x - 0.2 * y;
  const double wood = 0.5 + 0.5 * std::sin(40 * x + 9 * std::sin(6 * y));
  const double ripple = 0.5 + 0.5 * std::cos(55 * std::hypot(x - 0.7, y - 0.3));
  auto disc = [&](double cx, double cy, double radius) {
    return 1 / (1 + std::exp((std::hypot(x - cx, y - cy) - radius) * 300));
  };
  const double d1 = disc(0.3, 0.4, 0.15), d2 = disc(0.75, 0.7, 0.1);
  Colour c{255 * light * (0.6 + 0.4 * wood), 255 * (0.3 + 0.5 * light * ripple),
           255 * (0.2 + 0.3 * wood * ripple)};
  c.r = c.r * (1 - d1) + 230 * d1;
  c.g = c.g * (1 - d1) + 40 * d1;
  c.b = c.b * (1 - d2) + 250 * d2;
  return c;
}

// The scene averaged over each of w x h pixels from n x n samples: n = 1 is what a
// picture file holds, n = 8 what a fitted picture should be.
std::vector<Colour> sampled(int32_t w, int32_t h, int n) {
  std::vector<Colour> out;
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      Colour sum{0, 0, 0};
      for (int sy = 0; sy < n; ++sy)
        for (int sx = 0; sx < n; ++sx) {
          Colour c = scene((x + (sx + 0.5) / n) / w, (y + (sy + 0.5) / n) / h);
          sum = {sum.r + c.r, sum.g + c.g, sum.b + c.b};
        }
      out.push_back({sum.r / n / n, sum.g / n / n, sum.b / n / n});
    }
  return out;
}

picture::Picture render(int32_t w, int32_t h) {
  auto clamp8 = [](double v) { return uint8_t(std::lround(std::clamp(v, 0.0, 255.0))); };
  picture::Picture p{w, h, 24, {}};
  for (const Colour& c : sampled(w, h, 1))
    p.pixels.push_back(picture::colourRef(clamp8(c.r), clamp8(c.g), clamp8(c.b)));
  return p;
}

std::vector<Colour> colours(const std::vector<uint32_t>& pixels) {
  std::vector<Colour> out;
  for (uint32_t c : pixels)
    out.push_back(
        {double(picture::redOf(c)), double(picture::greenOf(c)), double(picture::blueOf(c))});
  return out;
}

double psnr(const std::vector<Colour>& got, const std::vector<Colour>& want) {
  double squares = 0;
  for (size_t i = 0; i < got.size(); ++i) {
    squares += std::pow(got[i].r - want[i].r, 2) + std::pow(got[i].g - want[i].g, 2) +
               std::pow(got[i].b - want[i].b, 2);
  }
  return 10 * std::log10(255.0 * 255.0 * 3 * double(got.size()) / squares);
}

// Pixels as a 16-bit handheld shows them.
std::vector<Colour> viaRgb565(const std::vector<uint32_t>& pixels) {
  std::vector<Colour> out;
  for (uint32_t c : pixels) {
    const uint16_t v = colourToRgb565(picture::redOf(c), picture::greenOf(c), picture::blueOf(c));
    out.push_back({double((v >> 11) << 3), double(((v >> 5) & 63) << 2), double((v & 31) << 3)});
  }
  return out;
}

Bytes bmpOf(const picture::Picture& p) {
  test::BmpFields f;
  f.width = p.width;
  f.height = p.height;
  f.pixels = test::storeRows(p.width, p.height, 24, [&](int32_t x, int32_t y) {
    const uint32_t c = p.pixels[size_t(y * p.width + x)];
    return (uint32_t{picture::redOf(c)} << 16) | (uint32_t{picture::greenOf(c)} << 8) |
           picture::blueOf(c);
  });
  return test::buildBmp(f);
}

TEST(PictureQuality, FittedPictureIsWithinOneDecibelOfTheCommonResizeTool) {
  if (std::system("command -v convert >/dev/null 2>&1") != 0) GTEST_SKIP() << "no convert";
  const picture::Picture photo = render(1200, 900);
  const Size to = fitSize(photo.width, photo.height, 320, 320);
  ASSERT_EQ(to, (Size{320, 240}));

  test::TempDir dir;
  test::writeFile(dir.file("in.bmp"), bmpOf(photo));
  const std::string command = "convert '" + dir.file("in.bmp") +
                              "' -resize 320x320 -type TrueColor 'BMP3:" + dir.file("out.bmp") +
                              "'";
  ASSERT_EQ(std::system(command.c_str()), 0);
  std::string reason;
  auto theirs = picture::parseBmp(test::readFile(dir.file("out.bmp")), &reason);
  ASSERT_TRUE(theirs) << reason;
  ASSERT_EQ(theirs->width, to.width);
  ASSERT_EQ(theirs->height, to.height);

  const auto want = sampled(to.width, to.height, 8);
  const double ours = psnr(viaRgb565(scalePixels(photo.pixels, {1200, 900}, to)), want);
  const double reference = psnr(viaRgb565(theirs->pixels), want);
  EXPECT_GE(ours, reference - 1.0) << "ours " << ours << " dB, convert " << reference << " dB";
}

// A 3 x 3 mean, as the eye sees a dithered picture from a little distance.
std::vector<Colour> blurred(const std::vector<Colour>& in, int32_t w, int32_t h) {
  std::vector<Colour> out(in.size(), Colour{0, 0, 0});
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      Colour sum{0, 0, 0};
      int n = 0;
      for (int32_t dy = -1; dy <= 1; ++dy)
        for (int32_t dx = -1; dx <= 1; ++dx) {
          const int32_t sx = x + dx, sy = y + dy;
          if (sx < 0 || sy < 0 || sx >= w || sy >= h) continue;
          const Colour& c = in[size_t(sy * w + sx)];
          sum = {sum.r + c.r, sum.g + c.g, sum.b + c.b};
          ++n;
        }
      out[size_t(y * w + x)] = {sum.r / n, sum.g / n, sum.b / n};
    }
  return out;
}

std::vector<Colour> shownAt8Bits(const picture::Picture& p, bool dither) {
  const DeviceCapabilities caps{.depth = 8,
                                .maxWidth = int16_t(p.width),
                                .maxHeight = int16_t(p.height),
                                .density = kStandardDensity};
  const auto r = encodePicture(p, caps, {false, dither});
  EXPECT_EQ(r.status, EncodeStatus::encoded);
  std::vector<Colour> out;
  const auto palette = colourTable(8);
  for (int32_t y = 0; y < p.height; ++y)
    for (int32_t x = 0; x < p.width; ++x) {
      const Rgb c = palette[r.bitmap[kHeaderSize + size_t(y) * rowLength(p.width, 8) + size_t(x)]];
      out.push_back({double(c.r), double(c.g), double(c.b)});
    }
  return out;
}

TEST(PictureQuality, DitheredEightBitPictureIsCloserToTheOriginalThanNearestColour) {
  const picture::Picture p = render(320, 240);
  const auto want = blurred(colours(p.pixels), p.width, p.height);
  const double nearest = psnr(blurred(shownAt8Bits(p, false), p.width, p.height), want);
  const double dithered = psnr(blurred(shownAt8Bits(p, true), p.width, p.height), want);
  EXPECT_GT(dithered, nearest + 3) << "dithered " << dithered << " dB, nearest " << nearest;
}

}  // namespace
}  // namespace lumora::bitmap
