// HEIF (HEIC) through libheif: the primary image, decoded with the container's rotation
// and mirroring (irot, imir) applied by the library. Those already make the picture
// upright, so an EXIF orientation tag inside the file is not applied a second time.
#include <algorithm>
#include <memory>

#include "platform/picture/heif_items.h"
#include "platform/picture/heif_library.h"
#include "platform/picture/photo_readers.h"

namespace lumora::picture::detail {
namespace {

// The library holds the coded image, its decoded planes and the RGB image it converts
// them to: counted as three times the picture on top of ours.
constexpr uint64_t kWorkingBytesPerPixel = 12;

struct Free {
  const HeifLibrary* lib = nullptr;
  void operator()(heif_context* c) const { lib->context_free(c); }
  void operator()(heif_image_handle* h) const { lib->image_handle_release(h); }
  void operator()(heif_image* i) const { lib->image_release(i); }
};
template <typename T>
using Owned = std::unique_ptr<T, Free>;

struct Primary {
  const HeifLibrary* lib = nullptr;
  Owned<heif_context> context;
  Owned<heif_image_handle> handle;
};

bool failed(const heif_error& e, std::string* reason) {
  if (e.code == heif_error_Ok) return false;
  fail(reason, std::string("not a readable HEIF file: ") + (e.message ? e.message : "error"));
  return true;
}

std::optional<Primary> openPrimary(ByteView file, uint32_t maxSide, std::string* reason) {
  std::string why;
  const HeifLibrary* lib = heifLibrary(&why);
  if (!lib) {
    fail(reason, "cannot be decoded: " + why);
    return std::nullopt;
  }
  Primary p{lib, Owned<heif_context>(nullptr, Free{lib}),
            Owned<heif_image_handle>(nullptr, Free{lib})};
  p.context.reset(lib->context_alloc());
  if (!p.context) {
    fail(reason, "cannot be decoded: out of memory");
    return std::nullopt;
  }
  // The library's own check of every item's announced size (kept below int's range).
  lib->context_set_maximum_image_size_limit(
      p.context.get(), static_cast<int>(std::min<uint32_t>(maxSide, 1u << 30)));
  if (failed(lib->context_read_from_memory_without_copy(p.context.get(), file.data(), file.size(),
                                                        nullptr),
             reason))
    return std::nullopt;
  heif_image_handle* handle = nullptr;
  if (failed(lib->context_get_primary_image_handle(p.context.get(), &handle), reason))
    return std::nullopt;
  p.handle.reset(handle);
  return p;
}

PictureDescription describeHandle(const HeifLibrary& lib, heif_image_handle* handle) {
  PictureDescription d;
  d.format = PictureFormat::Heif;
  d.width = lib.image_handle_get_width(handle);  // after rotation
  d.height = lib.image_handle_get_height(handle);
  d.alpha = lib.image_handle_has_alpha_channel(handle) != 0;
  const int bits = lib.image_handle_get_luma_bits_per_pixel(handle);
  d.bitsPerPixel = static_cast<uint16_t>((bits > 0 ? bits : 8) * (d.alpha ? 4 : 3));
  return d;
}

}  // namespace

std::optional<PictureDescription> describeHeif(ByteView file, std::string* reason) {
  auto p = openPrimary(file, kPictureLimits.maxSide, reason);
  if (!p) return std::nullopt;
  return describeHandle(*p->lib, p->handle.get());
}

std::optional<Picture> decodeHeif(ByteView file, const PictureLimits& limits, std::string* reason) {
  // Every item, tile and grid against the limits before the library allocates for any.
  std::string why;
  auto items = readHeifItems(file, &why);
  if (!items) {
    fail(reason, "not a readable HEIF file: " + why);
    return std::nullopt;
  }
  if (!heifItemsWithinLimits(*items, limits.maxSide, limits.maxPixels, limits.maxBytes,
                             kWorkingBytesPerPixel, reason))
    return std::nullopt;
  auto p = openPrimary(file, limits.maxSide, reason);
  if (!p) return std::nullopt;
  const HeifLibrary& lib = *p->lib;
  const PictureDescription d = describeHandle(lib, p->handle.get());
  if (d.width <= 0 || d.height <= 0) {
    fail(reason, "not a readable HEIF file: the primary image has no pixels");
    return std::nullopt;
  }
  const uint64_t w = static_cast<uint64_t>(d.width), h = static_cast<uint64_t>(d.height);
  if (w > limits.maxSide || h > limits.maxSide) {
    fail(reason, "is too large (" + std::to_string(w) + " x " + std::to_string(h) + " pixels)");
    return std::nullopt;
  }
  if (!withinLimits(w, h, w * h * kWorkingBytesPerPixel, limits, reason)) return std::nullopt;
  heif_image* decoded = nullptr;
  if (failed(lib.decode_image(p->handle.get(), &decoded, heif_colorspace_RGB,
                              heif_chroma_interleaved_RGBA, nullptr),
             reason))
    return std::nullopt;
  Owned<heif_image> image(decoded, Free{&lib});
  const int iw = lib.image_get_width(image.get(), heif_channel_interleaved);
  const int ih = lib.image_get_height(image.get(), heif_channel_interleaved);
  int stride = 0;
  const uint8_t* plane =
      lib.image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
  // What was checked against the limits must be what came out: a file whose headers
  // announce another size is refused.
  if (!plane || static_cast<uint64_t>(iw) != w || static_cast<uint64_t>(ih) != h ||
      stride < iw * 4 ||
      lib.image_get_bits_per_pixel_range(image.get(), heif_channel_interleaved) != 8) {
    fail(reason, "not a readable HEIF file: its image does not decode to " + std::to_string(w) +
                     " x " + std::to_string(h) + " 8-bit pixels");
    return std::nullopt;
  }
  Picture out;
  out.bitsPerPixel = d.bitsPerPixel;
  UprightWriter writer(iw, ih, 1, out);
  for (int y = 0; y < ih; ++y) {
    const uint8_t* px = plane + static_cast<ptrdiff_t>(y) * stride;
    for (int x = 0; x < iw; ++x, px += 4) writer.put(x, y, onWhite(px[0], px[1], px[2], px[3]));
  }
  return out;
}

}  // namespace lumora::picture::detail
