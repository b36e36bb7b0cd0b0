// The one seam for every picture format: the format by content, its description, its
// upright pixels. .bmp files go to the project's own reader, the rest to the adapters this
// build has (LUMORA_PHOTO_READERS).
#include <algorithm>
#include <cstring>

#include "platform/picture/photo_readers.h"
#include "platform/picture/picture.h"

namespace lumora::picture {
namespace {

using detail::fail;

bool startsWith(ByteView head, std::initializer_list<uint8_t> magic) {
  return head.size() >= magic.size() && std::equal(magic.begin(), magic.end(), head.begin());
}

// Main brands of the ISO media files libheif decodes as images (Debian's libheif decodes
// AV1 too). A mif2 file also lists mif1, which is what the library goes by.
bool heifBrand(ByteView brand) {
  static constexpr const char* kBrands[] = {"heic", "heix", "heim", "heis", "hevc", "hevx",
                                            "mif1", "mif2", "msf1", "avif", "avis"};
  return std::any_of(std::begin(kBrands), std::end(kBrands),
                     [&](const char* b) { return std::memcmp(brand.data(), b, 4) == 0; });
}

std::string unsupported(PictureFormat format) {
  return formatName(format) + " pictures are not supported in this build";
}

}  // namespace

PictureFormat sniffFormat(ByteView head) {
  if (startsWith(head, {'B', 'M'})) return PictureFormat::Bmp;
  if (startsWith(head, {0xFF, 0xD8, 0xFF})) return PictureFormat::Jpeg;
  if (startsWith(head, {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A})) return PictureFormat::Png;
  if (head.size() >= 12 && std::memcmp(head.data() + 4, "ftyp", 4) == 0 &&
      heifBrand(head.subspan(8, 4)))
    return PictureFormat::Heif;
  return PictureFormat::Unknown;
}

std::string formatName(PictureFormat format) {
  switch (format) {
    case PictureFormat::Bmp:
      return "BMP";
    case PictureFormat::Jpeg:
      return "JPEG";
    case PictureFormat::Png:
      return "PNG";
    case PictureFormat::Heif:
      return "HEIF";
    case PictureFormat::Unknown:
      break;
  }
  return "unknown";
}

bool formatSupported(PictureFormat format) {
  if (format == PictureFormat::Bmp) return true;
#ifdef LUMORA_PHOTO_READERS
  return format != PictureFormat::Unknown;
#else
  return false;
#endif
}

std::optional<PictureDescription> describePicture(ByteView file, std::string* reason) {
  const PictureFormat format = sniffFormat(file);
  if (format == PictureFormat::Unknown) {
    fail(reason, "not a picture file (BMP, JPEG, PNG or HEIF) by its contents");
    return std::nullopt;
  }
  if (!formatSupported(format)) {
    fail(reason, unsupported(format));
    return std::nullopt;
  }
  switch (format) {
    case PictureFormat::Bmp: {
      auto info = describeBmp(file, reason);
      if (!info) return std::nullopt;
      PictureDescription d;
      d.format = format;
      d.width = info->width;
      d.height = info->height;
      d.bitsPerPixel = info->bitsPerPixel;
      return d;
    }
#ifdef LUMORA_PHOTO_READERS
    case PictureFormat::Jpeg:
      return detail::describeJpeg(file, reason);
    case PictureFormat::Png:
      return detail::describePng(file, reason);
    case PictureFormat::Heif:
      return detail::describeHeif(file, reason);
#endif
    default:
      return std::nullopt;
  }
}

std::optional<Picture> decodePicture(ByteView file, const PictureLimits& limits,
                                     const DecodeHint& hint, std::string* reason) {
  const PictureFormat format = sniffFormat(file);
  if (format == PictureFormat::Bmp) {
    auto info = describeBmp(file, reason);
    if (!info) return std::nullopt;
    if (static_cast<uint64_t>(info->width) > limits.maxSide ||
        static_cast<uint64_t>(info->height) > limits.maxSide) {
      fail(reason, "is too large (" + std::to_string(info->width) + " x " +
                       std::to_string(info->height) + " pixels)");
      return std::nullopt;
    }
    if (!detail::withinLimits(static_cast<uint64_t>(info->width),
                              static_cast<uint64_t>(info->height), 0, limits, reason))
      return std::nullopt;
    return parseBmp(file, reason);
  }
  if (format == PictureFormat::Unknown || !formatSupported(format)) {
    describePicture(file, reason);
    return std::nullopt;
  }
#ifdef LUMORA_PHOTO_READERS
  switch (format) {
    case PictureFormat::Jpeg:
      return detail::decodeJpeg(file, limits, hint, reason);
    case PictureFormat::Png:
      return detail::decodePng(file, limits, reason);
    case PictureFormat::Heif:
      return detail::decodeHeif(file, limits, reason);
    default:
      break;
  }
#else
  (void)hint;
#endif
  return std::nullopt;
}

}  // namespace lumora::picture
