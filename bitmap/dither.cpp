#include "bitmap/dither.h"

#include <algorithm>
#include <array>
#include <cstdlib>

#include "bitmap/format.h"

namespace lumora::bitmap {
namespace {

// Greys of the palette outside the cube, entries 216 to 226.
constexpr std::array<uint8_t, 11> kGreys{0x11, 0x22, 0x44, 0x55, 0x77, 0x88,
                                         0xAA, 0xBB, 0xDD, 0xEE, 0xC0};

constexpr unsigned cubeLevel(int v) {
  return static_cast<unsigned>((v + 25) / 51);
}

constexpr int square(int v) {
  return v * v;
}

}  // namespace

uint8_t nearestPaletteIndex(uint8_t r, uint8_t g, uint8_t b) {
  const unsigned lr = cubeLevel(r), lg = cubeLevel(g), lb = cubeLevel(b);
  const unsigned f = 5 - lb;
  const auto cube = static_cast<uint8_t>(108 * (f / 3) + 6 * (f % 3) + 18 * (5 - lr) + (5 - lg));
  const int cubeDistance =
      square(r - int(lr * 51)) + square(g - int(lg * 51)) + square(b - int(lb * 51));
  // The nearest grey to a colour is the one nearest to the mean of its components.
  const int mean = (r + g + b + 1) / 3;
  size_t best = 0;
  for (size_t i = 1; i < kGreys.size(); ++i)
    if (std::abs(kGreys[i] - mean) < std::abs(kGreys[best] - mean)) best = i;
  const int v = kGreys[best];
  const int greyDistance = square(r - v) + square(g - v) + square(b - v);
  uint8_t index = greyDistance < cubeDistance ? static_cast<uint8_t>(216 + best) : cube;
  int distance = std::min(greyDistance, cubeDistance);
  // The four half-bright colours after the greys.
  const auto palette = colourTable(8);
  for (uint8_t i = 227; i <= 230; ++i) {
    const Rgb& p = palette[i];
    const int d = square(r - p.r) + square(g - p.g) + square(b - p.b);
    if (d < distance) {
      distance = d;
      index = i;
    }
  }
  return index;
}

PaletteDither::PaletteDither(int32_t width)
    : width_(width), current_(size_t(width + 2) * 3), next_(size_t(width + 2) * 3) {}

void PaletteDither::row(std::span<const uint32_t> pixels, std::span<uint8_t> out) {
  const auto palette = colourTable(8);
  const int step = leftToRight_ ? 1 : -1;
  int32_t x = leftToRight_ ? 0 : width_ - 1;
  for (int32_t n = 0; n < width_; ++n, x += step) {
    const uint32_t p = pixels[size_t(x)];
    const int32_t* err = &current_[size_t(x + 1) * 3];
    std::array<int, 3> want{};
    for (int c = 0; c < 3; ++c) {
      const int value = static_cast<int>((p >> (8 * c)) & 0xFF);
      // Round the sixteenths half away from zero, then keep the colour reachable.
      const int e = err[c] >= 0 ? (err[c] + 8) / 16 : -((-err[c] + 8) / 16);
      want[size_t(c)] = std::clamp(value + e, 0, 255);
    }
    const uint8_t index =
        nearestPaletteIndex(static_cast<uint8_t>(want[0]), static_cast<uint8_t>(want[1]),
                            static_cast<uint8_t>(want[2]));
    out[size_t(x)] = index;
    const Rgb got = palette[index];
    const std::array<int, 3> chosen{got.r, got.g, got.b};
    for (int c = 0; c < 3; ++c) {
      const int32_t e = want[size_t(c)] - chosen[size_t(c)];
      current_[size_t(x + 1 + step) * 3 + size_t(c)] += e * 7;
      next_[size_t(x + 1 - step) * 3 + size_t(c)] += e * 3;
      next_[size_t(x + 1) * 3 + size_t(c)] += e * 5;
      next_[size_t(x + 1 + step) * 3 + size_t(c)] += e * 1;
    }
  }
  current_.swap(next_);
  std::fill(next_.begin(), next_.end(), 0);
  leftToRight_ = !leftToRight_;
}

}  // namespace lumora::bitmap
