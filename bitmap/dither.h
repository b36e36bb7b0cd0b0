// Error diffusion onto the handheld's 8-bit system palette, a row at a time.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace lumora::bitmap {

// The system palette entry nearest to (r, g, b): the colour cube, the greys and the four
// half-bright colours (the black entries after them add nothing).
uint8_t nearestPaletteIndex(uint8_t r, uint8_t g, uint8_t b);

// Floyd-Steinberg error diffusion, serpentine (even rows left to right, odd rows right to
// left), so no direction drags its errors across the picture. Holds the errors of two
// rows; rows go in top to bottom.
class PaletteDither {
 public:
  explicit PaletteDither(int32_t width);

  // Maps one row of pixels (0x00BBGGRR) to palette indices in out (width bytes).
  void row(std::span<const uint32_t> pixels, std::span<uint8_t> out);

 private:
  int32_t width_;
  bool leftToRight_ = true;
  // Errors in sixteenths, 3 per pixel, one pixel of margin on each side.
  std::vector<int32_t> current_, next_;
};

}  // namespace lumora::bitmap
