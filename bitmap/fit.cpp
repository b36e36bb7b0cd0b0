#include "bitmap/fit.h"

#include <algorithm>

#include "bitmap/encoder.h"

namespace lumora::bitmap {
namespace {

// The other side for one side scaled from `from` to `to`, rounded to the nearest pixel.
int32_t scaledSide(int64_t side, int64_t from, int64_t to) {
  return static_cast<int32_t>(std::max<int64_t>(1, (side * to * 2 + from) / (from * 2)));
}

// Fit into one rectangle only.
Size fitInto(int32_t width, int32_t height, int32_t maxWidth, int32_t maxHeight) {
  if (width <= maxWidth && height <= maxHeight) return {width, height};
  // Compare the aspects without division: the side that hits its maximum first decides.
  if (int64_t{width} * maxHeight >= int64_t{height} * maxWidth)
    return {maxWidth, std::min(maxHeight, scaledSide(height, width, maxWidth))};
  return {std::min(maxWidth, scaledSide(width, height, maxHeight)), maxHeight};
}

int64_t area(Size s) {
  return int64_t{s.width} * s.height;
}

}  // namespace

Size fitSize(int32_t width, int32_t height, int32_t maxWidth, int32_t maxHeight) {
  const Size upright = fitInto(width, height, maxWidth, maxHeight);
  const Size turned = fitInto(width, height, maxHeight, maxWidth);
  return area(turned) > area(upright) ? turned : upright;
}

std::optional<Size> sizeForDevice(int32_t width, int32_t height, unsigned depth,
                                  const DeviceCapabilities& caps) {
  if (width <= 0 || height <= 0 || caps.maxWidth <= 0 || caps.maxHeight <= 0) return std::nullopt;
  // The sides decide, not the pixel count: 1000 x 100 passes the encoder's area test on a
  // 320 x 320 screen but is wider than the screen either way round.
  Size s = fitSize(width, height, caps.maxWidth, caps.maxHeight);
  if (s == Size{width, height} && fitsDevice(width, height, depth, caps)) return std::nullopt;
  // An odd width is padded to an even row at 8 bits, which can tip a picture of the full
  // device area over the limit; take a pixel off the longer side until it passes.
  while (!fitsDevice(s.width, s.height, depth, caps)) {
    if (s.width >= s.height) {
      s.width -= 1;
      s.height = std::min(s.height, scaledSide(height, width, s.width));
    } else {
      s.height -= 1;
      s.width = std::min(s.width, scaledSide(width, height, s.height));
    }
    if (s.width <= 0 || s.height <= 0) return std::nullopt;
  }
  return s;
}

BoxScaler::BoxScaler(Size from, Size to)
    : from_(from),
      to_(to),
      across_(size_t(to.width) * 3),
      sums_(size_t(to.width) * 3),
      carry_(size_t(to.width) * 3),
      out_(size_t(to.width)) {}

void BoxScaler::addRow(std::span<const uint32_t> row) {
  // Source column x covers [x * to, (x + 1) * to) and output column c covers
  // [c * from, (c + 1) * from) on a common scale, so every weight is a whole number.
  std::fill(across_.begin(), across_.end(), 0);
  const int64_t fw = from_.width, tw = to_.width;
  int64_t c = 0;
  for (int64_t x = 0; x < fw; ++x) {
    const int64_t start = x * tw, end = start + tw;
    while ((c + 1) * fw <= start) ++c;
    const uint32_t p = row[size_t(x)];
    const uint64_t r = p & 0xFF, g = (p >> 8) & 0xFF, b = (p >> 16) & 0xFF;
    const uint64_t first = static_cast<uint64_t>(std::min(end, (c + 1) * fw) - start);
    uint64_t* a = &across_[size_t(c) * 3];
    a[0] += r * first;
    a[1] += g * first;
    a[2] += b * first;
    if (first < static_cast<uint64_t>(tw) && c + 1 < tw) {
      const uint64_t rest = static_cast<uint64_t>(tw) - first;
      a[3] += r * rest;
      a[4] += g * rest;
      a[5] += b * rest;
    }
  }
  const int64_t fh = from_.height, th = to_.height;
  const int64_t start = rowsIn_ * th, end = start + th;
  const uint64_t first =
      static_cast<uint64_t>(std::min(end, (int64_t{completed_} + 1) * fh) - start);
  const uint64_t rest = static_cast<uint64_t>(th) - first;
  for (size_t i = 0; i < across_.size(); ++i) {
    sums_[i] += across_[i] * first;
    carry_[i] += across_[i] * rest;
  }
  ++rowsIn_;
}

void BoxScaler::finishRow() {
  const uint64_t whole = uint64_t(from_.width) * uint64_t(from_.height);
  for (size_t x = 0; x < out_.size(); ++x) {
    const uint64_t* s = &sums_[x * 3];
    const auto mean = [&](uint64_t v) { return static_cast<uint32_t>((v + whole / 2) / whole); };
    out_[x] = mean(s[0]) | (mean(s[1]) << 8) | (mean(s[2]) << 16);
  }
  sums_.swap(carry_);
  std::fill(carry_.begin(), carry_.end(), 0);
}

std::vector<uint32_t> scalePixels(std::span<const uint32_t> pixels, Size from, Size to) {
  std::vector<uint32_t> out(size_t(to.width) * size_t(to.height));
  BoxScaler scaler(from, to);
  for (int32_t y = 0; y < from.height; ++y) {
    scaler.push(pixels.subspan(size_t(y) * size_t(from.width), size_t(from.width)),
                [&](int32_t row, std::span<const uint32_t> line) {
                  std::copy(line.begin(), line.end(), out.begin() + ptrdiff_t(row) * to.width);
                });
  }
  return out;
}

}  // namespace lumora::bitmap
