// Plain file formats for the sample data, the end-to-end checks and the benchmark: Palm
// .pdb files as the simulated handheld keeps them, Windows .bmp files, and handheld
// bitmaps built straight from pixels. Tool code: not part of the conduit.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/bytes.h"
#include "hotsync/format/pdb_file.h"

namespace lumora::samples {

// Database files as the simulated handheld reads and writes them.
using PdbRecord = hotsync::PdbRecord;
using PdbDatabase = hotsync::Database;

// 2004-06-01 00:00 UTC, the date the samples carry.
inline constexpr uint32_t kSampleDate = 3168892800u;

Bytes serializePdb(const PdbDatabase& db);
// nullopt when the bytes are not a database file the handheld can read.
std::optional<PdbDatabase> parsePdb(ByteView file);
// The file that holds a database on the simulated handheld.
std::string pdbFileName(std::string_view dbName);

// A picture: width x height colours 0xRRGGBB, top row first.
struct Picture {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint32_t> pixels;
  uint32_t at(int32_t x, int32_t y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
};

// A .bmp file of 1, 4 or 8 bits per pixel with the given palette (pixels hold indices),
// or of 24 bits (pixels hold colours). Rows bottom-up.
Bytes writeBmp(const Picture& picture, unsigned bitsPerPixel, const std::vector<uint32_t>& palette);
// Reads an uncompressed .bmp of 1, 4, 8 or 24 bits into colours.
std::optional<Picture> readBmp(ByteView file);

// A version-2 handheld bitmap of 16-bit RGB565 pixels, coded when compressed is set.
Bytes handheldBitmap16(const Picture& picture, uint16_t density, bool compressed);
// A version-2 handheld bitmap of 8-bit system palette indices (pixels hold indices).
Bytes handheldBitmap8(const Picture& picture, uint16_t density);

// The colours a picture comes back with after a trip to the handheld and back.
uint32_t viaRgb565(uint32_t colour);
uint32_t viaSystemPalette(uint32_t colour);
uint32_t systemPaletteColour(uint8_t index);

}  // namespace lumora::samples
