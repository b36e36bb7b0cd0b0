// Any bytes, read two ways: as a handheld bitmap, and as a description of one whose
// width, height, raw size and data length the input chooses apart from its own length,
// so that a few bytes describe a huge picture. Either way the decoder, under the limits
// the transfer sets, refuses it with a reason or gives every row within the limits.
//
// A description: flags (bit 0 coded, bit 1 older layout, bits 2-7 the older header
// length), bits per pixel, width and height (big-endian 16 bits), raw size and data
// length (big-endian 32 bits), then a pattern repeated to fill the data.
#include <algorithm>
#include <cstdlib>
#include <string>

#include "bitmap/bmp_file.h"
#include "bitmap/decoder.h"

namespace {

using namespace lumora;
using namespace lumora::bitmap;

constexpr DecodeLimits kLimits = kHandheldPictureLimits;
constexpr size_t kDescriptionSize = 14;
// Coded data of this length expands to more than the limits allow.
constexpr uint32_t kMaxDescribedData = 4u << 20;

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
  for (int32_t y = 0; y < decoder->height(); ++y) {
    decoder->bmpRow(y, std::span<uint8_t>(row).first(rowBytes));
    if (row[rowBytes] != 0xAA) abort();
    if (std::any_of(row.begin() + std::ptrdiff_t(pixelBytes), row.end() - 1,
                    [](uint8_t b) { return b != 0; }))
      abort();
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
  if (!pattern.empty())
    for (size_t i = 0; i < dataLength; ++i) b[start + i] = pattern[i % pattern.size()];
  return b;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  check(ByteView(data, size));
  if (size >= kDescriptionSize) check(describedBitmap(data, size));
  return 0;
}
