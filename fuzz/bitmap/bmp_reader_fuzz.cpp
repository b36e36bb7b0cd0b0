// Any bytes as a .bmp file: refused with a reason, or decoded to width x height pixels.
#include <cstdlib>
#include <string>

#include "platform/picture/picture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace lumora::picture;
  const lumora::ByteView file(data, size);
  std::string reason;
  auto info = describeBmp(file);
  auto picture = parseBmp(file, &reason);
  if (picture) {
    if (!info || picture->width != info->width || picture->height != info->height) abort();
    if (picture->pixels.size() != size_t(picture->width) * size_t(picture->height)) abort();
  } else if (reason.empty()) {
    abort();
  }
  return 0;
}
