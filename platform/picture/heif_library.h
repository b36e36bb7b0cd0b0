// libheif, opened on the first HEIF file rather than at program start: the library pulls in
// every codec it was built with, several MiB that a run without HEIF files never needs.
#pragma once

#include <string>

#include <libheif/heif.h>

namespace lumora::picture::detail {

// The functions the reader uses, with the signatures of the header it was built against.
struct HeifLibrary {
  decltype(&heif_context_alloc) context_alloc;
  decltype(&heif_context_free) context_free;
  decltype(&heif_context_set_maximum_image_size_limit) context_set_maximum_image_size_limit;
  decltype(&heif_context_read_from_memory_without_copy) context_read_from_memory_without_copy;
  decltype(&heif_context_get_primary_image_handle) context_get_primary_image_handle;
  decltype(&heif_image_handle_release) image_handle_release;
  decltype(&heif_image_handle_get_width) image_handle_get_width;
  decltype(&heif_image_handle_get_height) image_handle_get_height;
  decltype(&heif_image_handle_has_alpha_channel) image_handle_has_alpha_channel;
  decltype(&heif_image_handle_get_luma_bits_per_pixel) image_handle_get_luma_bits_per_pixel;
  decltype(&heif_decode_image) decode_image;
  decltype(&heif_image_release) image_release;
  decltype(&heif_image_get_width) image_get_width;
  decltype(&heif_image_get_height) image_get_height;
  decltype(&heif_image_get_plane_readonly) image_get_plane_readonly;
  decltype(&heif_image_get_bits_per_pixel_range) image_get_bits_per_pixel_range;
};

// The library, loaded once for the whole process; nullptr with a reason when it cannot be.
const HeifLibrary* heifLibrary(std::string* reason);

}  // namespace lumora::picture::detail
