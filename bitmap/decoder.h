// Handheld bitmap to 24-bit desktop .bmp file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "bitmap/format.h"
#include "common/bytes.h"

namespace lumora::bitmap {

// The colour of one pixel value: a palette index of a depth up to 8 (1, 2, 4 and 8 use
// their tables, any other depth gives black), or an RGB565 value above 8 bits, whose
// components come back with their low bits 0 (white is 248, 252, 248).
Rgb pixelToColour(uint16_t value, unsigned bitsPerPixel);

// A decoded picture: rows of bmpRowLength(width) bytes, bottom row first, blue-green-red.
struct DecodedPicture {
  int32_t width = 0;
  int32_t height = 0;
  Bytes rows;
};

// Decodes either layout, plain or coded. nullopt with a reason for a bitmap whose header
// is unsound or whose data falls short of what the header announces.
std::optional<DecodedPicture> decodeToRows(ByteView bitmap, std::string* reason = nullptr);

// Decodes bitmap and writes it to path (Windows path text) as a 24-bit .bmp file. With
// overwrite clear an existing file is left alone and the result is false. True when the
// whole file was written; on failure no file is left behind.
bool decodeBitmap(ByteView bitmap, std::string_view path, bool overwrite);

}  // namespace lumora::bitmap
