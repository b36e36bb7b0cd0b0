// What the photo readers share: the orientation tag, the upright placement of stored
// pixels, and the readers themselves (one adapter per library). Inside lumora_picture only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/picture/picture.h"

namespace lumora::picture::detail {

bool fail(std::string* reason, std::string text);

// The orientation tag (1 to 8) of EXIF data: a TIFF header and its first directory, as in
// a JPEG APP1 segment after "Exif\0\0" or a PNG eXIf chunk. 1 when there is none or it
// cannot be read.
int exifOrientation(ByteView tiff);

// Tags 5 to 8 turn the picture a quarter: its upright sides are the stored ones swapped.
constexpr bool swapsSides(int orientation) {
  return orientation >= 5 && orientation <= 8;
}

// Places the pixels of a stored picture of width x height where the orientation tag puts
// them in the upright picture out (sized by the constructor).
class UprightWriter {
 public:
  UprightWriter(int32_t storedWidth, int32_t storedHeight, int orientation, Picture& out);
  void put(int32_t x, int32_t y, uint32_t colour) {
    pixels_[static_cast<size_t>(origin_ + x * dx_ + y * dy_)] = colour;
  }

 private:
  uint32_t* pixels_;
  ptrdiff_t origin_ = 0, dx_ = 1, dy_ = 0;
};

// Pixel bytes composed on white: what a transparent pixel shows.
constexpr uint32_t onWhite(uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
  auto mix = [a](uint8_t c) {
    return static_cast<uint8_t>((c * a + 255u * (255u - a) + 127u) / 255u);
  };
  return colourRef(mix(r), mix(g), mix(b));
}

// Checks a decoded size against limits: pixels, and bytes of the picture plus working.
bool withinLimits(uint64_t width, uint64_t height, uint64_t workingBytes,
                  const PictureLimits& limits, std::string* reason);

std::optional<PictureDescription> describeJpeg(ByteView file, std::string* reason);
std::optional<Picture> decodeJpeg(ByteView file, const PictureLimits& limits,
                                  const DecodeHint& hint, std::string* reason);
std::optional<PictureDescription> describePng(ByteView file, std::string* reason);
std::optional<Picture> decodePng(ByteView file, const PictureLimits& limits, std::string* reason);
std::optional<PictureDescription> describeHeif(ByteView file, std::string* reason);
std::optional<Picture> decodeHeif(ByteView file, const PictureLimits& limits, std::string* reason);

}  // namespace lumora::picture::detail
