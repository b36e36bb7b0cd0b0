// Small JPEG, PNG and HEIF files made with the libraries' own encoders, for the readers'
// tests: pixels given as 0x00BBGGRR (or grey levels, or raw samples), optional EXIF
// orientation.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "common/bytes.h"

namespace lumora::picture::test {

using PixelFn = std::function<uint32_t(int32_t x, int32_t y)>;

// A TIFF header and one directory holding the orientation tag, big- or little-endian.
Bytes exifWithOrientation(uint16_t orientation, bool littleEndian = true);

enum class JpegKind { rgb, grey, cmyk, progressive };

// 4:4:4 at quality 95; grey takes the red channel; cmyk stores Adobe's inverted inks of
// the colour. orientation 0 writes no EXIF segment.
Bytes makeJpeg(int32_t width, int32_t height, const PixelFn& pixel, uint16_t orientation = 0,
               JpegKind kind = JpegKind::rgb);

struct PngRecipe {
  uint32_t width = 0, height = 0;
  uint8_t colourType = 2;  // 0 grey, 2 RGB, 3 palette, 4 grey+alpha, 6 RGBA
  uint8_t bitDepth = 8;
  bool interlaced = false;
  Bytes samples;                      // rows of raw samples, host order for 16 bits
  std::vector<uint32_t> palette;      // 0x00BBGGRR
  std::vector<uint8_t> paletteAlpha;  // tRNS of a palette
  uint16_t orientation = 0;           // eXIf chunk when not 0
};
Bytes makePng(const PngRecipe& recipe);

// An 8-bit RGB PNG of the pixels.
Bytes makeRgbPng(int32_t width, int32_t height, const PixelFn& pixel, uint16_t orientation = 0,
                 bool interlaced = false);

// HEVC-coded, the rotation and mirroring of orientation written as irot/imir properties;
// with exifToo the same tag also as EXIF metadata. Empty when no HEVC encoder exists.
Bytes makeHeif(int32_t width, int32_t height, const PixelFn& pixel, uint16_t orientation = 1,
               bool exifToo = false, bool alpha = false);

}  // namespace lumora::picture::test
