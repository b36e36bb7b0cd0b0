#include "pictures/codec.h"

#include "bitmap/decoder.h"
#include "bitmap/encoder.h"

namespace lumora::pictures {

Codec& codec() {
  static Codec c{&bitmap::encodeBitmap, [](ByteView bitmap, std::string_view path, bool overwrite,
                                           const bitmap::DecodeLimits& limits) {
                   return bitmap::decodeBitmap(bitmap, path, overwrite, limits);
                 }};
  return c;
}

}  // namespace lumora::pictures
