#include "platform/ui/mapped_bitmap.h"

namespace lumora::ui {
namespace {

constexpr size_t kFileHeaderSize = 14;
constexpr uint32_t kInfoHeaderSize = 40;

Rgb paletteEntry(ByteView b, size_t at) {
  // RGBQUAD: blue, green, red, reserved.
  return rgb(b[at + 2], b[at + 1], b[at]);
}

}  // namespace

std::optional<MappedBitmap> decodeMappedBitmap(ByteView b, Rgb from, Rgb to, uint64_t maxPixels) {
  if (b.size() < kFileHeaderSize + kInfoHeaderSize || b[0] != 'B' || b[1] != 'M')
    return std::nullopt;
  const uint32_t offBits = loadLe32(&b[10]);
  const uint32_t headerSize = loadLe32(&b[14]);
  if (headerSize < kInfoHeaderSize || headerSize > b.size() - kFileHeaderSize) return std::nullopt;
  const auto width = static_cast<int32_t>(loadLe32(&b[18]));
  const auto rawHeight = static_cast<int32_t>(loadLe32(&b[22]));
  const uint16_t planes = loadLe16(&b[26]);
  const uint16_t bits = loadLe16(&b[28]);
  const uint32_t compression = loadLe32(&b[30]);
  uint32_t colorsUsed = loadLe32(&b[46]);
  if (planes != 1 || compression != 0) return std::nullopt;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24) return std::nullopt;
  if (width <= 0 || rawHeight == 0 || rawHeight == INT32_MIN) return std::nullopt;
  const bool topDown = rawHeight < 0;
  const int32_t height = topDown ? -rawHeight : rawHeight;
  if (static_cast<uint64_t>(width) * static_cast<uint64_t>(height) > maxPixels) return std::nullopt;

  std::vector<Rgb> palette;
  if (bits <= 8) {
    const uint32_t full = 1u << bits;
    if (colorsUsed == 0 || colorsUsed > full) colorsUsed = full;
    const size_t paletteAt = kFileHeaderSize + headerSize;
    if (colorsUsed * 4ull > b.size() - paletteAt) return std::nullopt;
    for (uint32_t i = 0; i < colorsUsed; ++i) {
      Rgb c = paletteEntry(b, paletteAt + 4 * i);
      palette.push_back(c == from ? to : c);
    }
  }

  const uint64_t stride = ((static_cast<uint64_t>(width) * bits + 31) / 32) * 4;
  if (offBits > b.size() || stride * static_cast<uint64_t>(height) > b.size() - offBits)
    return std::nullopt;

  MappedBitmap out;
  out.width = width;
  out.height = height;
  out.pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
  for (int32_t row = 0; row < height; ++row) {
    const int32_t y = topDown ? row : height - 1 - row;
    const uint8_t* line = b.data() + offBits + stride * static_cast<uint64_t>(row);
    for (int32_t x = 0; x < width; ++x) {
      Rgb c;
      if (bits == 24) {
        c = rgb(line[3 * x + 2], line[3 * x + 1], line[3 * x]);
        if (c == from) c = to;
      } else {
        const uint32_t bitOffset = static_cast<uint32_t>(x) * bits;
        const uint8_t byte = line[bitOffset / 8];
        const uint32_t shift = 8 - bits - bitOffset % 8;
        const uint32_t index = (byte >> shift) & ((1u << bits) - 1);
        // An index past a short palette shows black, as the display would.
        c = index < palette.size() ? palette[index] : 0;
      }
      out.pixels[static_cast<size_t>(y) * width + x] = c;
    }
  }
  return out;
}

ImageId ImageStore::add(MappedBitmap image) {
  ImageId id = next_++;
  if (next_ == 0) next_ = 1;
  images_[id] = std::move(image);
  return id;
}

const MappedBitmap* ImageStore::get(ImageId id) const {
  auto it = images_.find(id);
  return it == images_.end() ? nullptr : &it->second;
}

bool ImageStore::remove(ImageId id) {
  return images_.erase(id) != 0;
}

}  // namespace lumora::ui
