#include <optional>
#include <type_traits>

#include "platform/picture/heif_library.h"
#include "platform/process/loaded_library.h"

namespace lumora::picture::detail {
namespace {

struct Loaded {
  HeifLibrary api{};
  std::string error;
};

template <typename F>
bool bind(const process::LoadedLibrary& library, const char* name, F& slot, std::string& error) {
  slot = library.symbol<std::remove_pointer_t<F>>(name);
  if (!slot) error = std::string("the HEIF library has no ") + name;
  return slot != nullptr;
}

Loaded load() {
  Loaded l;
  // Kept open until the process ends: pictures may be decoded at any time.
  static process::LoadedLibrary h(LUMORA_HEIF_SONAME);
  if (!h.loaded()) {
    l.error = "the HEIF library cannot be loaded: " + h.error();
    return l;
  }
  HeifLibrary& a = l.api;
  std::string& e = l.error;
  bool ok =
      bind(h, "heif_context_alloc", a.context_alloc, e) &&
      bind(h, "heif_context_free", a.context_free, e) &&
      bind(h, "heif_context_set_maximum_image_size_limit", a.context_set_maximum_image_size_limit,
           e) &&
      bind(h, "heif_context_read_from_memory_without_copy", a.context_read_from_memory_without_copy,
           e) &&
      bind(h, "heif_context_get_primary_image_handle", a.context_get_primary_image_handle, e) &&
      bind(h, "heif_image_handle_release", a.image_handle_release, e) &&
      bind(h, "heif_image_handle_get_width", a.image_handle_get_width, e) &&
      bind(h, "heif_image_handle_get_height", a.image_handle_get_height, e) &&
      bind(h, "heif_image_handle_has_alpha_channel", a.image_handle_has_alpha_channel, e) &&
      bind(h, "heif_image_handle_get_luma_bits_per_pixel", a.image_handle_get_luma_bits_per_pixel,
           e) &&
      bind(h, "heif_decode_image", a.decode_image, e) &&
      bind(h, "heif_image_release", a.image_release, e) &&
      bind(h, "heif_image_get_width", a.image_get_width, e) &&
      bind(h, "heif_image_get_height", a.image_get_height, e) &&
      bind(h, "heif_image_get_plane_readonly", a.image_get_plane_readonly, e) &&
      bind(h, "heif_image_get_bits_per_pixel_range", a.image_get_bits_per_pixel_range, e);
  if (!ok) h.unload();
  return l;
}

}  // namespace

const HeifLibrary* heifLibrary(std::string* reason) {
  static const Loaded loaded = load();
  if (!loaded.error.empty()) {
    if (reason) *reason = loaded.error;
    return nullptr;
  }
  return &loaded.api;
}

}  // namespace lumora::picture::detail
