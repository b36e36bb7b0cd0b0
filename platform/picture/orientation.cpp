// The EXIF orientation tag and the placement of stored pixels in the upright picture.
#include "platform/picture/photo_readers.h"

namespace lumora::picture::detail {
namespace {

constexpr uint16_t kOrientationTag = 0x0112;
constexpr uint16_t kTypeShort = 3;
constexpr size_t kEntrySize = 12;

}  // namespace

bool fail(std::string* reason, std::string text) {
  if (reason) *reason = std::move(text);
  return false;
}

int exifOrientation(ByteView tiff) {
  if (tiff.size() < 8) return 1;
  bool little;
  if (tiff[0] == 'I' && tiff[1] == 'I')
    little = true;
  else if (tiff[0] == 'M' && tiff[1] == 'M')
    little = false;
  else
    return 1;
  auto u16 = [&](size_t at) -> std::optional<uint16_t> {
    return little ? readLe16(tiff, at) : readBe16(tiff, at);
  };
  auto u32 = [&](size_t at) -> std::optional<uint32_t> {
    return little ? readLe32(tiff, at) : readBe32(tiff, at);
  };
  if (u16(2) != 42) return 1;
  const uint32_t ifd = *u32(4);
  auto count = u16(ifd);
  if (!count) return 1;
  for (uint32_t i = 0; i < *count; ++i) {
    const size_t entry = size_t{ifd} + 2 + i * kEntrySize;
    auto tag = u16(entry), type = u16(entry + 2);
    auto n = u32(entry + 4);
    auto value = u16(entry + 8);
    if (!tag || !type || !n || !value) return 1;
    if (*tag != kOrientationTag) continue;
    if (*type != kTypeShort || *n != 1 || *value < 1 || *value > 8) return 1;
    return *value;
  }
  return 1;
}

UprightWriter::UprightWriter(int32_t w, int32_t h, int orientation, Picture& out) {
  const bool swap = swapsSides(orientation);
  out.width = swap ? h : w;
  out.height = swap ? w : h;
  out.pixels.assign(static_cast<size_t>(w) * static_cast<size_t>(h), 0);
  pixels_ = out.pixels.data();
  const ptrdiff_t W = out.width, lastX = w - 1, lastY = h - 1;
  switch (orientation) {
    case 2:  // mirrored left to right
      origin_ = lastX, dx_ = -1, dy_ = W;
      break;
    case 3:  // turned half round
      origin_ = lastY * W + lastX, dx_ = -1, dy_ = -W;
      break;
    case 4:  // mirrored top to bottom
      origin_ = lastY * W, dx_ = 1, dy_ = -W;
      break;
    case 5:  // mirrored along the top-left diagonal
      origin_ = 0, dx_ = W, dy_ = 1;
      break;
    case 6:  // to be turned a quarter clockwise
      origin_ = lastY, dx_ = W, dy_ = -1;
      break;
    case 7:  // mirrored along the top-right diagonal
      origin_ = lastX * W + lastY, dx_ = -W, dy_ = -1;
      break;
    case 8:  // to be turned a quarter anticlockwise
      origin_ = lastX * W, dx_ = -W, dy_ = 1;
      break;
    default:
      origin_ = 0, dx_ = 1, dy_ = W;
  }
}

bool withinLimits(uint64_t width, uint64_t height, uint64_t workingBytes,
                  const PictureLimits& limits, std::string* reason) {
  const uint64_t pixels = width * height;
  if (pixels > limits.maxPixels) {
    return fail(reason, "is too large (" + std::to_string(width) + " x " + std::to_string(height) +
                            " pixels, more than " + std::to_string(limits.maxPixels) + ")");
  }
  const uint64_t bytes = pixels * sizeof(uint32_t) + workingBytes;
  if (bytes > limits.maxBytes) {
    return fail(reason, "would need " + std::to_string(bytes) + " bytes to decode, more than " +
                            std::to_string(limits.maxBytes));
  }
  return true;
}

}  // namespace lumora::picture::detail
