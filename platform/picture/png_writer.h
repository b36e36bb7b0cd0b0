// Writing a picture as an 8-bit RGB PNG file (libspng), rows made as they are written.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

namespace lumora::picture {

// Fills row y (0 is the top row) of width * 3 bytes, red, green, blue.
using RgbRowSource = std::function<void(int32_t y, std::span<uint8_t> row)>;

// Whether this build writes PNG files (with the photo readers).
bool pngWriterBuilt();

// Writes path (Windows path text) through the files seam, replacing a file of that name;
// the file appears whole or not at all. False with a reason when it cannot be written.
bool writePng(std::string_view path, int32_t width, int32_t height, const RgbRowSource& rows,
              std::string* reason = nullptr);

}  // namespace lumora::picture
