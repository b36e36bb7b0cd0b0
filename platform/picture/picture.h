// Picture loading: what the encoder needs of a desktop picture file (its size, stored bits
// per pixel and each pixel's colour, (0, 0) top-left). .bmp files are read by the project's
// own reader; JPEG, PNG and HEIF files by adapters over system libraries, where the build
// has them (LUMORA_PHOTO_READERS). Files are read through the files seam.
//
// Every format goes through one seam: sniffFormat tells the format by content,
// describePicture reads its size and orientation without decoding pixels, decodePicture
// returns upright pixels with any transparency composed on white. A .bmp file still goes
// to parseBmp unchanged.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/bytes.h"

namespace lumora::picture {

struct Picture {
  int32_t width = 0;
  int32_t height = 0;
  uint16_t bitsPerPixel = 0;     // as stored in the file: 1, 2, 4, 8, 16, 24 or 32
  std::vector<uint32_t> pixels;  // 0x00BBGGRR, row-major, (0, 0) top-left
};

constexpr uint32_t colourRef(uint8_t r, uint8_t g, uint8_t b) {
  return uint32_t{r} | (uint32_t{g} << 8) | (uint32_t{b} << 16);
}
constexpr uint8_t redOf(uint32_t c) {
  return static_cast<uint8_t>(c);
}
constexpr uint8_t greenOf(uint32_t c) {
  return static_cast<uint8_t>(c >> 8);
}
constexpr uint8_t blueOf(uint32_t c) {
  return static_cast<uint8_t>(c >> 16);
}

// Compression values of the info header that the reader knows.
enum BmpCompression : uint32_t { kBmpRgb = 0, kBmpRle8 = 1, kBmpRle4 = 2, kBmpBitfields = 3 };

// What the reader sees in a .bmp file before it decodes any pixel.
struct BmpInfo {
  int32_t width = 0;
  int32_t height = 0;  // always positive; see topDown
  uint16_t bitsPerPixel = 0;
  uint32_t compression = kBmpRgb;
  uint32_t headerSize = 0;  // 12 (OS/2 1.x), 16 or 64 (OS/2 2.x), 40, 52, 56, 108, 124
  bool topDown = false;
  uint32_t paletteEntries = 0;  // colour table entries present in the file
  uint32_t pixelOffset = 0;
  uint32_t masks[3] = {0, 0, 0};  // red, green, blue bits of a 16- or 32-bit pixel
};

// Largest file the loader reads and largest picture the reader decodes.
inline constexpr uint64_t kMaxPictureFileBytes = uint64_t{256} << 20;
inline constexpr uint64_t kMaxPicturePixels = uint64_t{1} << 27;

// Reads the headers of a .bmp file held in memory. nullopt with a reason when the file is
// not one the reader can decode (so parseBmp would refuse it before looking at pixels).
std::optional<BmpInfo> describeBmp(ByteView file, std::string* reason = nullptr);

// Decodes a .bmp file held in memory. Never reads outside file and never allocates more
// than the file's contents can justify; nullopt with a reason when it cannot be read.
std::optional<Picture> parseBmp(ByteView file, std::string* reason = nullptr);

// Short text for a compression value ("rgb", "rle8", "rle4", "bitfields").
std::string compressionName(uint32_t compression);

enum class PictureFormat { Bmp, Jpeg, Png, Heif, Unknown };

// The format of a file by its first bytes (a dozen are enough), whatever its name.
PictureFormat sniffFormat(ByteView head);

// "BMP", "JPEG", "PNG", "HEIF" or "unknown".
std::string formatName(PictureFormat format);

// Whether this build decodes the format (.bmp always; the others with the photo readers).
bool formatSupported(PictureFormat format);

// What one picture may make a reader allocate, checked before allocating: the stored
// picture's sides, the decoded picture's pixels, and the bytes of the decoded picture plus
// the reader's working memory.
struct PictureLimits {
  uint32_t maxSide = 0;
  uint64_t maxPixels = 0;
  uint64_t maxBytes = 0;
};

// The largest picture the conduit and lumora-bitmap decode: what the .bmp reader allows,
// with sides as long as any photo format stores.
inline constexpr PictureLimits kPictureLimits{65535, kMaxPicturePixels, uint64_t{1} << 30};

// The upright size the caller will scale down to. A reader that can decode smaller (JPEG:
// 1/8 to 8/8) picks the smallest scale whose upright result is still at least this in both
// dimensions. Both 0 means full size; one 0 leaves that side free.
struct DecodeHint {
  int32_t atLeastWidth = 0;
  int32_t atLeastHeight = 0;
};

struct PictureDescription {
  PictureFormat format = PictureFormat::Unknown;
  int32_t width = 0;  // upright, at full size
  int32_t height = 0;
  int orientation = 1;        // the file's orientation tag, 1 to 8; 1 when none or already applied
  uint16_t bitsPerPixel = 0;  // as stored: channels times bits per channel, or palette depth
  bool alpha = false;
};

// Reads the headers of a picture in memory. nullopt with a reason when it is no picture
// this build reads.
std::optional<PictureDescription> describePicture(ByteView file, std::string* reason = nullptr);

// Decodes a picture in memory: upright, transparency composed on white. nullopt with a
// reason when it cannot be read, is truncated, or is beyond limits (refused before the
// pixels are allocated).
std::optional<Picture> decodePicture(ByteView file, const PictureLimits& limits,
                                     const DecodeHint& hint, std::string* reason = nullptr);

enum class LoadProblem { none, cannotRead, notPicture };

// Which formats an opener takes: the conduit's .bmp files only, or every format this build
// reads.
enum class Formats { bmpOnly, all };

// A picture file read and described, pixels not yet decoded: lets a caller refuse a
// picture by its size before paying for its pixels.
struct PictureFile {
  Bytes bytes;
  PictureDescription description;
  BmpInfo info;  // of a .bmp file only
};

// Reads path (Windows path text) through the files seam and describes it. problem tells a
// file that cannot be read from one that is not a picture the reader can decode. With
// Formats::bmpOnly every other format is refused as the .bmp reader refuses it.
std::optional<PictureFile> openPicture(std::string_view path, std::string* reason = nullptr,
                                       LoadProblem* problem = nullptr,
                                       Formats formats = Formats::bmpOnly);

// A .bmp file decodes exactly as parseBmp does; any other format under limits
// (kPictureLimits when not given).
std::optional<Picture> decodePicture(const PictureFile& file, const PictureLimits& limits,
                                     const DecodeHint& hint, std::string* reason = nullptr);
std::optional<Picture> decodePicture(const PictureFile& file, std::string* reason = nullptr);
std::optional<Picture> decodePicture(const PictureFile& file, const DecodeHint& hint,
                                     std::string* reason = nullptr);

// openPicture and decodePicture in one.
std::optional<Picture> loadPicture(std::string_view path, std::string* reason = nullptr,
                                   Formats formats = Formats::bmpOnly);

}  // namespace lumora::picture
