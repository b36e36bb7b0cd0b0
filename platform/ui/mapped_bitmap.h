// Reading a Windows .bmp file into pixels with one colour replaced, the way
// CreateMappedBitmap shows the conduit's action bitmaps on the current button face.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "common/bytes.h"
#include "platform/ui/toolkit.h"

namespace lumora::ui {

struct MappedBitmap {
  int width = 0;
  int height = 0;
  std::vector<Rgb> pixels;  // rows top to bottom
  Rgb at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// Uncompressed 1-, 4-, 8- and 24-bit bitmaps (bottom-up or top-down). In a palette the
// entries equal to from become to; in a 24-bit bitmap the pixels do. nullopt for anything
// malformed, truncated or larger than maxPixels.
std::optional<MappedBitmap> decodeMappedBitmap(ByteView bmp, Rgb from, Rgb to,
                                               uint64_t maxPixels = 4096 * 4096);

// The images a toolkit hands out by id, so callers can delete them as handles.
class ImageStore {
 public:
  ImageId add(MappedBitmap image);
  const MappedBitmap* get(ImageId id) const;
  bool remove(ImageId id);
  size_t live() const { return images_.size(); }

 private:
  std::map<ImageId, MappedBitmap> images_;
  ImageId next_ = 1;
};

}  // namespace lumora::ui
