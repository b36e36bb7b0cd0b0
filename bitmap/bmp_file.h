// The 24-bit Windows .bmp files that the decoder writes: a 14-byte file header, a 40-byte
// info header, no colour table, rows bottom-up, pixels blue-green-red.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string_view>

#include "common/bytes.h"

namespace lumora::bitmap {

inline constexpr size_t kBmpHeadersSize = 54;

// 3 * width rounded up to a multiple of 4.
uint32_t bmpRowLength(int32_t width);

// The file and info headers of a 24-bit picture of width x height (rows bottom-up).
std::array<uint8_t, kBmpHeadersSize> bmpHeaders(int32_t width, int32_t height);

// Fills .bmp row index (0 is the bottom row) of bmpRowLength(width) bytes.
using RowSource = std::function<void(int32_t index, std::span<uint8_t> row)>;

// Writes the headers and then the rows, bottom row first, as rows produces them, so that
// only a few rows are held at a time. The file appears whole or not at all: with
// overwrite clear an existing file is never touched, with it set the file is replaced.
// False when the picture has no pixels or is too large for the format, or the file cannot
// be written.
bool writeBmpFile(std::string_view path, int32_t width, int32_t height, const RowSource& rows,
                  bool overwrite);

}  // namespace lumora::bitmap
