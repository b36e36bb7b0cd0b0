#include "bitmap/bmp_file.h"

#include <algorithm>

#include "platform/files/files.h"

namespace lumora::bitmap {
namespace {

constexpr size_t kWriteBatch = 64 * 1024;

}  // namespace

uint32_t bmpRowLength(int32_t width) {
  if (width <= 0) return 0;
  return static_cast<uint32_t>((uint64_t{3} * static_cast<uint32_t>(width) + 3) & ~uint64_t{3});
}

std::array<uint8_t, kBmpHeadersSize> bmpHeaders(int32_t width, int32_t height) {
  std::array<uint8_t, kBmpHeadersSize> h{};
  const uint64_t pixelBytes =
      uint64_t{bmpRowLength(width)} * static_cast<uint64_t>(height > 0 ? height : 0);
  h[0] = 'B';
  h[1] = 'M';
  storeLe32(&h[2], static_cast<uint32_t>(kBmpHeadersSize + pixelBytes));
  storeLe32(&h[10], kBmpHeadersSize);
  storeLe32(&h[14], 40);
  storeLe32(&h[18], static_cast<uint32_t>(width));
  storeLe32(&h[22], static_cast<uint32_t>(height));
  storeLe16(&h[26], 1);
  storeLe16(&h[28], 24);
  return h;  // compression, image size, resolutions and colour counts stay 0
}

bool writeBmpFile(std::string_view path, int32_t width, int32_t height, const RowSource& rows,
                  bool overwrite) {
  if (width <= 0 || height <= 0) return false;
  const size_t rowBytes = bmpRowLength(width);
  if (kBmpHeadersSize + uint64_t{rowBytes} * static_cast<uint64_t>(height) > UINT32_MAX)
    return false;
  auto out = files::fileSystem().createOutput(path, overwrite);
  if (!out) return false;
  const auto headers = bmpHeaders(width, height);
  if (!out->write(headers.data(), headers.size())) return false;
  // Rows go out in batches of about kWriteBatch bytes, one row at least.
  const size_t batchRows = std::max<size_t>(1, kWriteBatch / rowBytes);
  Bytes batch(std::min(batchRows, static_cast<size_t>(height)) * rowBytes);
  for (int32_t y = 0; y < height;) {
    const int32_t n = static_cast<int32_t>(std::min<size_t>(batchRows, size_t(height - y)));
    for (int32_t i = 0; i < n; ++i)
      rows(y + i, std::span<uint8_t>(batch).subspan(size_t(i) * rowBytes, rowBytes));
    if (!out->write(batch.data(), size_t(n) * rowBytes)) return false;
    y += n;
  }
  // An uncommitted output removes its temporary file, so failures leave nothing behind.
  return out->commit();
}

}  // namespace lumora::bitmap
