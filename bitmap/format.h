// The handheld bitmap: a 32-byte header (or the older short layout), rows of palette
// indices or big-endian RGB565 pixels, optionally run-length coded.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "common/bytes.h"

namespace lumora::bitmap {

inline constexpr size_t kHeaderSize = 32;
inline constexpr uint8_t kCurrentVersion = 2;
inline constexpr uint16_t kStandardDensity = 72;
inline constexpr uint16_t kDoubleDensity = 144;

// The fields of a version-2 header, host order.
struct BitmapHeader {
  uint8_t headerSize = kHeaderSize;
  uint8_t version = kCurrentVersion;
  int16_t width = 0;
  int16_t height = 0;
  uint8_t bitsPerPixel = 0;
  uint8_t bitmapVersion = 0;
  uint16_t pixelDensity = 0;
  uint16_t compressionType = 0;
  uint32_t rawSize = 0;
};

// The 32 header bytes: fields big-endian, the marker 0x57 0xAB at offset 20, rest zero.
std::array<uint8_t, kHeaderSize> buildHeader(const BitmapHeader& header);

// Reads the fields of a version-2 header; nullopt when fewer than 32 bytes are given.
std::optional<BitmapHeader> parseHeader(ByteView bitmap);

// Bytes of one row as written: ceil(width * bitsPerPixel / 8), rounded up to even.
uint32_t rowLength(int32_t width, unsigned bitsPerPixel);

// Where the pixel rows of a received bitmap are and how to walk them.
struct BitmapLayout {
  bool current = true;  // version-2 header; false: the older layout
  int32_t width = 0;
  int32_t height = 0;
  uint8_t bitsPerPixel = 0;
  bool coded = false;     // rows are run-length coded (version 2 only)
  size_t dataOffset = 0;  // first byte of the rows (or of the coded stream)
  size_t rowStride = 0;   // bytes from one row to the next
  size_t plainSize = 0;   // bytes of plain row data: height * rowStride, or rawSize if coded
  BitmapHeader header;    // the raw fields, for display (older layout: only what it has)
};

// Works out the layout of bitmap and checks that it is sound: positive width and height,
// rows long enough for width pixels, plain rows inside the given bytes, and a coded stream
// that could at all expand to the announced size. nullopt with a reason otherwise.
std::optional<BitmapLayout> parseLayout(ByteView bitmap, std::string* reason = nullptr);

// Colour tables, index to red, green, blue.
struct Rgb {
  uint8_t r = 0, g = 0, b = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

// The table for a palette depth (1, 2, 4 or 8 bits); empty for any other depth.
std::span<const Rgb> colourTable(unsigned bitsPerPixel);

// Run-length coding. Byte units below 9 bits per pixel, 16-bit pixel units above.
enum class RunUnit : uint8_t { byte = 1, word = 2 };

inline RunUnit runUnitFor(unsigned bitsPerPixel) {
  return bitsPerPixel > 8 ? RunUnit::word : RunUnit::byte;
}

// Largest coded size of plainBytes of plain data (every packet a literal).
size_t packedBound(size_t plainBytes, RunUnit unit);

// Codes the whole units of plain into out. Returns the coded length, or nullopt as soon as
// the code would not fit into out (out then holds part of a code).
std::optional<size_t> packRunsInto(ByteView plain, RunUnit unit, std::span<uint8_t> out);

// Codes plain into a new buffer.
Bytes packRuns(ByteView plain, RunUnit unit);

// Expands coded until plain is full (with word units, its whole units). A packet that
// would overfill plain is cut. Returns the coded bytes consumed, or nullopt when the
// stream ends before plain is full.
std::optional<size_t> unpackRuns(ByteView coded, RunUnit unit, std::span<uint8_t> plain);

}  // namespace lumora::bitmap
