// The item structure of a HEIF file, read from its boxes without the library: what every
// image item announces (ispe), the largest size its coded stream declares (HEVC sequence
// parameter sets, AV1 sequence headers, in its configuration and in its data), and the
// grids. The library allocates by these numbers before it checks them against each
// other, so they are checked here first.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "common/bytes.h"

namespace lumora::picture::detail {

struct HeifSize {
  uint32_t width = 0;
  uint32_t height = 0;
};

struct HeifGrid {
  uint32_t rows = 0, columns = 0;
  uint32_t width = 0, height = 0;  // of the composed image
};

enum class HeifCodec { none, hevc, av1 };

struct HeifItem {
  std::string type;                   // "hvc1", "grid", "av01", "Exif", ...
  std::optional<HeifSize> announced;  // ispe
  HeifCodec codec = HeifCodec::none;  // by its configuration property (hvcC, av1C)
  std::optional<HeifSize> coded;      // the largest declared; empty when none can be read
  std::optional<HeifGrid> grid;       // grid items whose descriptor could be read
  std::vector<uint32_t> tiles;        // dimg references, in order
};

struct HeifItems {
  uint32_t primary = 0;
  std::map<uint32_t, HeifItem> items;
};

// nullopt with a reason when the boxes that describe the items cannot be read.
std::optional<HeifItems> readHeifItems(ByteView file, std::string* reason);

// The coded luma size of an HEVC sequence parameter set NAL unit (with its 2-byte header).
std::optional<HeifSize> hevcCodedSize(ByteView spsNal);
// The largest frame size of an AV1 sequence header OBU's payload.
std::optional<HeifSize> av1MaxFrameSize(ByteView sequenceHeader);

// Refuses, with a reason, a file whose items would make the library allocate beyond
// maxSide, maxPixels or maxBytes (bytesPerPixel of working memory a pixel), or whose image
// items announce more pixels than their streams code.
bool heifItemsWithinLimits(const HeifItems& items, uint32_t maxSide, uint64_t maxPixels,
                           uint64_t maxBytes, uint64_t bytesPerPixel, std::string* reason);

}  // namespace lumora::picture::detail
