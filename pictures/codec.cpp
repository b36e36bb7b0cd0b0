#include "pictures/codec.h"

#include "bitmap/decoder.h"
#include "bitmap/encoder.h"

namespace lumora::pictures {

Codec& codec() {
  static Codec c{&bitmap::encodeBitmap, &bitmap::decodeBitmap};
  return c;
}

}  // namespace lumora::pictures
