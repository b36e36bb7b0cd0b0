// The bitmap conversions the transfers use; tests replace the entries.
#pragma once

#include <optional>
#include <string_view>

#include "bitmap/decoder.h"
#include "bitmap/device_capabilities.h"
#include "bitmap/encoder.h"
#include "common/bytes.h"

namespace lumora::pictures {

struct Codec {
  std::optional<Bytes> (*encode)(std::string_view path, const DeviceCapabilities& caps,
                                 const bitmap::EncodeOptions& options);
  bool (*decode)(ByteView bitmap, std::string_view path, bool overwrite,
                 const bitmap::DecodeLimits& limits);
};

// By default the bitmap encoder and decoder.
Codec& codec();

}  // namespace lumora::pictures
