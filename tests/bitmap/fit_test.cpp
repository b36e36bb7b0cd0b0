#include "bitmap/fit.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

#include "bitmap/encoder.h"

namespace lumora::bitmap {
namespace {

TEST(FitSize, LargestSizeInsideTheRectangleInEitherOrientation) {
  const struct {
    int32_t w, h, maxW, maxH;
    Size want;
  } cases[] = {
      {1200, 1600, 320, 320, {240, 320}},  // portrait on a square screen
      {1600, 1200, 320, 320, {320, 240}},
      {1600, 1200, 160, 240, {213, 160}},  // turned: wider than the upright 160 x 120
      {1200, 1600, 160, 240, {160, 213}},
      {321, 320, 320, 320, {320, 319}},  // one pixel over
      {320, 321, 320, 320, {319, 320}},
      {320, 320, 320, 320, {320, 320}},  // exactly at the limit: untouched
      {240, 320, 320, 240, {240, 320}},  // fits the turned rectangle: untouched
      {10, 10, 320, 320, {10, 10}},      // never up
      {40000, 1, 320, 320, {320, 1}},    // a side never drops below one pixel
      {1, 40000, 160, 240, {1, 240}},
      {4000, 3000, 480, 320, {427, 320}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(fitSize(c.w, c.h, c.maxW, c.maxH), c.want)
        << c.w << "x" << c.h << " on " << c.maxW << "x" << c.maxH;
}

TEST(FitSize, KeepsAspectWithinOnePixelAndNeverGrows) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<int32_t> side(1, 9000), limit(1, 640);
  for (int i = 0; i < 20000; ++i) {
    const int32_t w = side(rng), h = side(rng), mw = limit(rng), mh = limit(rng);
    const Size s = fitSize(w, h, mw, mh);
    SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h) + " on " + std::to_string(mw) + "x" +
                 std::to_string(mh));
    ASSERT_GE(s.width, 1);
    ASSERT_GE(s.height, 1);
    ASSERT_LE(s.width, w);
    ASSERT_LE(s.height, h);
    ASSERT_TRUE((s.width <= mw && s.height <= mh) || (s.width <= mh && s.height <= mw));
    // Whichever side was set, the other is within a pixel of the exact scale.
    const int64_t cross = std::llabs(int64_t{s.width} * h - int64_t{s.height} * w);
    ASSERT_LE(cross, std::max(w, h));
  }
}

TEST(SizeForDevice, FitsTheSidesEitherWayRoundAndAlwaysPassesTheEncoder) {
  const struct {
    int32_t w, h;
    unsigned depth;
    int16_t maxW, maxH;
    std::optional<Size> want;
  } cases[] = {
      {160, 120, 16, 160, 160, std::nullopt},    // fits as it is
      {320, 320, 16, 320, 320, std::nullopt},    // exactly at the limit
      {240, 320, 16, 320, 240, std::nullopt},    // fits only turned
      {10000, 10, 8, 320, 320, Size{320, 1}},    // the area passes, the width does not
      {1000, 100, 16, 320, 320, Size{320, 32}},  // wider than the screen
      {425, 120, 16, 320, 320, Size{320, 90}},
      {360, 216, 16, 320, 320, Size{320, 192}},
      {49, 500, 16, 320, 320, Size{31, 320}},      // taller than the screen
      {1200, 1600, 16, 320, 320, Size{240, 320}},  // both
      {400, 200, 16, 320, 240, Size{320, 160}},    // the area fits, neither orientation does
      {322, 322, 8, 161, 161, Size{160, 160}},     // an odd row is padded at 8 bits
      {322, 322, 16, 161, 161, Size{161, 161}},
      {100, 100, 16, 0, 160, std::nullopt},  // a device that takes nothing
      {0, 100, 16, 160, 160, std::nullopt},
  };
  for (const auto& c : cases) {
    // Each row also turned a quarter: the picture's sides swap and so do the result's.
    for (const bool turned : {false, true}) {
      const int32_t w = turned ? c.h : c.w, h = turned ? c.w : c.h;
      SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
      const DeviceCapabilities device{.depth = 16, .maxWidth = c.maxW, .maxHeight = c.maxH};
      auto want = c.want;
      if (want && turned) want = Size{want->height, want->width};
      const auto got = sizeForDevice(w, h, c.depth, device);
      EXPECT_EQ(got, want);
      if (got) {
        EXPECT_TRUE(fitsDevice(got->width, got->height, c.depth, device));
      }
    }
  }
}

TEST(BoxScaler, AveragesTheAreaEachOutputPixelCovers) {
  const struct {
    const char* what;
    std::vector<uint32_t> in;
    Size from, to;
    std::vector<uint32_t> want;
  } cases[] = {
      {"2x2 to 1", {0x000000, 0x0000FF, 0x00FF00, 0xFF0000}, {2, 2}, {1, 1}, {0x404040}},
      {"thirds", {0, 90, 180}, {3, 1}, {2, 1}, {30, 150}},  // the middle pixel split in half
      {"rows", {0, 90, 180}, {1, 3}, {1, 2}, {30, 150}},
      {"same size", {1, 2, 3, 4}, {2, 2}, {2, 2}, {1, 2, 3, 4}},
      {"rounding", {0, 1}, {2, 1}, {1, 1}, {1}},  // half way rounds up
  };
  for (const auto& c : cases) EXPECT_EQ(scalePixels(c.in, c.from, c.to), c.want) << c.what;
}

TEST(BoxScaler, KeepsAUniformPictureAndItsMeanAtAnyRatio) {
  std::mt19937 rng(3);
  for (auto [from, to] : {std::pair{Size{97, 61}, Size{13, 7}},
                          {Size{640, 480}, Size{320, 240}},
                          {Size{33, 100}, Size{32, 99}},
                          {Size{500, 3}, Size{1, 1}}}) {
    std::vector<uint32_t> flat(size_t(from.width) * size_t(from.height), 0x336699);
    for (uint32_t p : scalePixels(flat, from, to)) ASSERT_EQ(p, 0x336699u);

    std::vector<uint32_t> noise(flat.size());
    uint64_t sum = 0;
    for (auto& p : noise) sum += (p = rng() & 0xFF);
    const auto out = scalePixels(noise, from, to);
    uint64_t outSum = 0;
    for (uint32_t p : out) outSum += p & 0xFF;
    const double inMean = double(sum) / double(noise.size());
    const double outMean = double(outSum) / double(out.size());
    EXPECT_NEAR(outMean, inMean, 0.6) << from.width << "x" << from.height;
  }
}

TEST(BoxScaler, EmitsEveryOutputRowOnceInOrderWhileRowsGoIn) {
  const Size from{7, 23}, to{3, 5};
  BoxScaler scaler(from, to);
  std::vector<uint32_t> row(size_t(from.width), 0x010203);
  std::vector<int32_t> emitted;
  for (int32_t y = 0; y < from.height; ++y) {
    scaler.push(row, [&](int32_t out, std::span<const uint32_t> line) {
      emitted.push_back(out);
      EXPECT_EQ(line.size(), size_t(to.width));
      // A row is out as soon as the source rows it covers are in, not later.
      EXPECT_GE(int64_t{y + 1} * to.height, int64_t{out + 1} * from.height);
      EXPECT_LT(int64_t{y} * to.height, int64_t{out + 1} * from.height);
    });
  }
  EXPECT_EQ(emitted, (std::vector<int32_t>{0, 1, 2, 3, 4}));
}

}  // namespace
}  // namespace lumora::bitmap
