// The conduit's bitmap resources: the four action bitmaps of the dialog as .bmp bytes.
#pragma once

#include <cstdint>
#include <optional>

#include "common/bytes.h"

namespace lumora::conduit {

enum BitmapId : uint32_t {
  kBmpSync = 103,
  kBmpDesktopToHandheld = 104,
  kBmpHandheldToDesktop = 105,
  kBmpNothing = 106,
};

// The .bmp file of bitmap id, nullopt for an id the library does not hold.
std::optional<ByteView> bitmapResource(uint32_t id);

}  // namespace lumora::conduit
