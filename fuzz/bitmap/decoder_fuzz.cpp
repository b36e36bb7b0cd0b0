// Any bytes as a handheld bitmap: refused, or decoded to rows of exactly the right size.
#include <cstdlib>

#include "bitmap/bmp_file.h"
#include "bitmap/decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace lumora::bitmap;
  const lumora::ByteView bitmap(data, size);
  auto layout = parseLayout(bitmap);
  auto picture = decodeToRows(bitmap);
  if (picture) {
    if (!layout || picture->width != layout->width || picture->height != layout->height) abort();
    if (picture->rows.size() != size_t{bmpRowLength(picture->width)} * size_t(picture->height))
      abort();
  }
  return 0;
}
