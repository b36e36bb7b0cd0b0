// Any bytes as a handheld bitmap, or, when they start with 'D', as the description of one
// whose width, height, raw size and data length the input chooses apart from its own
// length, so that a few bytes describe a huge picture. Either way the decoder, under the
// limits the transfer sets, refuses it with a reason or gives every row within them.
//
// A description after the 'D': flags (bit 0 coded, bit 1 older layout, bits 2-7 the older
// header length), bits per pixel, width and height (big-endian 16 bits), raw size and
// data length (big-endian 32 bits), then a pattern repeated to fill the data. Large
// pictures are slow to decode, so only inputs that ask for it are read this way.
#include <algorithm>
#include <cstdlib>
#include <string>

#include "bitmap/bmp_file.h"
#include "bitmap/decoder.h"

namespace {

using namespace lumora;
using namespace lumora::bitmap;

constexpr DecodeLimits kLimits = kHandheldPictureLimits;
constexpr uint8_t kDescriptionMark = 'D';
constexpr size_t kDescriptionSize = 14;
// Coded data of this length expands to more than the limits allow.
constexpr uint32_t kMaxDescribedData = 4u << 20;
constexpr uint64_t kEveryRowBytes = 1u << 20;

// Decodes row y into row, whose last byte is a guard; the padding must come out 0.
void checkRow(const RowDecoder& decoder, int32_t y, Bytes& row, size_t pixelBytes) {
  const size_t rowBytes = row.size() - 1;
  decoder.bmpRow(y, std::span<uint8_t>(row).first(rowBytes));
  if (row[rowBytes] != 0xAA) abort();
  if (std::any_of(row.begin() + std::ptrdiff_t(pixelBytes), row.end() - 1,
                  [](uint8_t b) { return b != 0; }))
    abort();
}

void check(ByteView bitmap) {
  std::string reason;
  auto decoder = RowDecoder::open(bitmap, kLimits, &reason);
  if (!decoder) {
    if (reason.empty()) abort();
    return;
  }
  auto layout = parseLayout(bitmap);
  if (!layout || decoder->width() != layout->width || decoder->height() != layout->height) abort();
  if (decoder->width() > kLimits.maxWidth || decoder->height() > kLimits.maxHeight) abort();
  const size_t rowBytes = bmpRowLength(decoder->width());
  if (uint64_t{rowBytes} * uint64_t(decoder->height()) > kLimits.maxOutputBytes) abort();
  Bytes row(rowBytes + 1, 0xAA);  // the last byte must stay untouched
  const size_t pixelBytes = 3 * size_t(decoder->width());
  // Every row addresses the plain data alike: of a large picture, the rows at both ends
  // and in the middle do, so that each input stays quick.
  const int32_t h = decoder->height();
  if (uint64_t{rowBytes} * uint64_t(h) <= kEveryRowBytes) {
    for (int32_t y = 0; y < h; ++y) checkRow(*decoder, y, row, pixelBytes);
  } else {
    for (int32_t y : {0, 1, h / 2, h - 2, h - 1}) checkRow(*decoder, y, row, pixelBytes);
  }
}

Bytes describedBitmap(const uint8_t* data, size_t size) {
  const uint8_t flags = data[0];
  BitmapHeader h;
  h.bitsPerPixel = data[1];
  h.width = static_cast<int16_t>(loadBe16(data + 2));
  h.height = static_cast<int16_t>(loadBe16(data + 4));
  h.rawSize = loadBe32(data + 6);
  h.compressionType = flags & 1;
  const uint32_t dataLength = loadBe32(data + 10) % (kMaxDescribedData + 1);
  const ByteView pattern(data + kDescriptionSize, size - kDescriptionSize);

  Bytes b;
  if (flags & 2) {
    b.assign(10, 0);  // older layout: its fields only, then the data
    b[0] = static_cast<uint8_t>(flags >> 2);
    b[1] = 1;
    storeBe16(&b[2], static_cast<uint16_t>(h.width));
    storeBe16(&b[4], static_cast<uint16_t>(h.height));
    b[6] = h.bitsPerPixel;
  } else {
    auto header = buildHeader(h);
    b.assign(header.begin(), header.end());
  }
  const size_t start = b.size();
  b.resize(start + dataLength, 0);
  if (pattern.empty() || dataLength == 0) return b;
  // The pattern once, then doubled until the data is full.
  size_t filled = std::min<size_t>(pattern.size(), dataLength);
  std::copy_n(pattern.begin(), filled, b.begin() + std::ptrdiff_t(start));
  while (filled < dataLength) {
    const size_t n = std::min(filled, dataLength - filled);
    std::copy_n(b.begin() + std::ptrdiff_t(start), n, b.begin() + std::ptrdiff_t(start + filled));
    filled += n;
  }
  return b;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 0 && data[0] == kDescriptionMark) {
    if (size >= 1 + kDescriptionSize) check(describedBitmap(data + 1, size - 1));
  } else {
    check(ByteView(data, size));
  }
  return 0;
}
