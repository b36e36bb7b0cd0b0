// Any bytes to one photo reader (chosen at build time) under the conduit's limits: refused
// with a reason, or an upright picture of the described size. The last byte picks a size
// hint, so the JPEG reader's scaled decoding is covered too.
#include <cstdlib>
#include <string>

#include "platform/picture/photo_readers.h"

using namespace lumora::picture;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const lumora::ByteView file(data, size);
  DecodeHint hint;
  if (size > 0 && (data[size - 1] & 0x80)) {
    hint.atLeastWidth = (data[size - 1] & 0x07) * 4;
    hint.atLeastHeight = ((data[size - 1] >> 3) & 0x0F) * 4;
  }
  std::string describeReason, reason;
#if defined(LUMORA_FUZZ_JPEG)
  auto d = detail::describeJpeg(file, &describeReason);
  auto p = detail::decodeJpeg(file, kPictureLimits, hint, &reason);
#elif defined(LUMORA_FUZZ_PNG)
  auto d = detail::describePng(file, &describeReason);
  auto p = detail::decodePng(file, kPictureLimits, &reason);
#else
  auto d = detail::describeHeif(file, &describeReason);
  auto p = detail::decodeHeif(file, kPictureLimits, &reason);
#endif
  if (!d && describeReason.empty()) abort();
  if (!p) {
    if (reason.empty()) abort();
    return 0;
  }
  if (!d || p->width <= 0 || p->height <= 0) abort();
  if (p->pixels.size() != size_t(p->width) * size_t(p->height)) abort();
  const bool scaled = hint.atLeastWidth || hint.atLeastHeight;
  if (!scaled && (p->width != d->width || p->height != d->height)) abort();
  if (scaled && (p->width > d->width || p->height > d->height)) abort();
  for (uint32_t px : p->pixels)
    if (px >> 24) abort();
  return 0;
}
