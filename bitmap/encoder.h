// Desktop picture to handheld bitmap: 8-bit palette or 16-bit RGB565 pixels, coded when
// the handheld asks for it and coding saves enough, refused when too large for it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "bitmap/device_capabilities.h"
#include "common/bytes.h"
#include "platform/picture/picture.h"

namespace lumora::bitmap {

// System palette index of the colour cube entry nearest below (r, g, b), 0 to 215.
uint8_t colourToIndex(uint8_t r, uint8_t g, uint8_t b);

// RGB565 with the low bits cut off, as a host-order value (stored big-endian).
uint16_t colourToRgb565(uint8_t r, uint8_t g, uint8_t b);

// Bits per pixel of the handheld bitmap: 16 for direct colour on a device above 8 bits,
// 8 otherwise.
unsigned chooseDepth(unsigned storedBitsPerPixel, uint8_t deviceDepth);

// Whether a picture of width x height at depth (8 or 16) fits the device: its pixel data
// may not exceed maxWidth * maxHeight pixels' worth. A device with a maximum of zero or
// less takes nothing, and no side may exceed what the header can hold (32767).
bool fitsDevice(int32_t width, int32_t height, unsigned depth, const DeviceCapabilities& caps);

enum class EncodeStatus { encoded, cannotOpen, unreadable, tooLarge };

struct EncodeResult {
  EncodeStatus status = EncodeStatus::unreadable;
  Bytes bitmap;        // the whole handheld bitmap when encoded
  std::string reason;  // why not, when not
};

// What the encoder may do beyond the plain conversion; both off by default.
struct EncodeOptions {
  bool fit = false;     // scale a picture larger than the device's sides down (sizeForDevice)
  bool dither = false;  // error diffusion onto the palette at 8 bits, not the nearest colour
  picture::Formats formats = picture::Formats::bmpOnly;     // the file formats encodeFile reads
  picture::PictureLimits limits = picture::kPictureLimits;  // for encodeFile's photo files
};

// Whether this build reads photo files (JPEG, PNG, HEIF) besides .bmp files.
bool photoReadersBuilt();

// Encodes a loaded picture for the device.
EncodeResult encodePicture(const picture::Picture& picture, const DeviceCapabilities& caps,
                           const EncodeOptions& options = {});

// Loads the picture file at path (Windows path text) and encodes it; a picture too large
// for the device is refused before its pixels are decoded (unless options.fit, which
// decodes a JPEG at the smallest DCT scale still at least the fitted size). The conduit
// takes .bmp files only unless options.formats is Formats::all.
EncodeResult encodeFile(std::string_view path, const DeviceCapabilities& caps,
                        const EncodeOptions& options = {});
EncodeResult encodeFile(std::string_view path, const DeviceCapabilities& caps,
                        picture::Formats formats);

// The handheld bitmap for the .bmp file at path, or nullopt when the file cannot be read
// as a picture or is too large for the device.
std::optional<Bytes> encodeBitmap(std::string_view path, const DeviceCapabilities& caps,
                                  const EncodeOptions& options = {});

}  // namespace lumora::bitmap
