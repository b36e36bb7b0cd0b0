// Handheld bitmap to 24-bit desktop .bmp file.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "bitmap/format.h"
#include "common/bytes.h"

namespace lumora::bitmap {

// The colour of one pixel value: a palette index of a depth up to 8 (1, 2, 4 and 8 use
// their tables, any other depth gives black), or an RGB565 value above 8 bits, whose
// components come back with their low bits 0 (white is 248, 252, 248).
Rgb pixelToColour(uint16_t value, unsigned bitsPerPixel);

// What one bitmap may make the decoder allocate and write. A bitmap beyond any of them
// is refused before anything is allocated for it.
struct DecodeLimits {
  int32_t maxWidth = 0;
  int32_t maxHeight = 0;
  // Bounds both the plain pixel data (what coded data expands to) and the .bmp pixel rows.
  uint64_t maxOutputBytes = 0;
};

// Pictures a handheld can hold. Any side the bitmap header can state (32767) is allowed, so
// that every picture the encoder accepts (10000 x 10 passes its area test) comes back; the
// pixels and bytes bound the cost. 64 MiB is the largest picture database the transfer
// reads, and a .bmp of 64 MiB holds 22 million pixels. Decoding within them takes at most
// 64 MiB of plain pixel data besides the database itself.
inline constexpr DecodeLimits kHandheldPictureLimits{32767, 32767, uint64_t{64} << 20};

// A bitmap checked against its layout and the limits, turned into .bmp rows on demand.
// Holds the plain pixel data: a view of the bitmap, or the expanded coded data.
class RowDecoder {
 public:
  // nullopt with a reason for a bitmap whose header is unsound, whose data falls short of
  // what the header announces, or that is beyond limits.
  static std::optional<RowDecoder> open(ByteView bitmap, const DecodeLimits& limits,
                                        std::string* reason = nullptr);

  int32_t width() const { return layout_.width; }
  int32_t height() const { return layout_.height; }

  // Writes .bmp row index (0 is the bottom row, the handheld's last) into row, which holds
  // bmpRowLength(width()) bytes; its padding becomes 0.
  void bmpRow(int32_t index, std::span<uint8_t> row) const;

 private:
  RowDecoder(ByteView bitmap, const BitmapLayout& layout) : bitmap_(bitmap), layout_(layout) {}
  ByteView plain() const;

  ByteView bitmap_;
  BitmapLayout layout_;
  Bytes work_;  // the expanded data of a coded bitmap
};

// A decoded picture: rows of bmpRowLength(width) bytes, bottom row first, blue-green-red.
struct DecodedPicture {
  int32_t width = 0;
  int32_t height = 0;
  Bytes rows;
};

// Decodes either layout, plain or coded, into memory. nullopt with a reason as for
// RowDecoder::open.
std::optional<DecodedPicture> decodeToRows(ByteView bitmap, const DecodeLimits& limits,
                                           std::string* reason = nullptr);

// Decodes bitmap and writes it to path (Windows path text) as a 24-bit .bmp file, row by
// row. With overwrite clear an existing file is left alone and the result is false. True
// when the whole file was written; on failure no file is left behind.
bool decodeBitmap(ByteView bitmap, std::string_view path, bool overwrite,
                  const DecodeLimits& limits, std::string* reason = nullptr);

}  // namespace lumora::bitmap
