// PNG through libspng: every colour type and depth as 8-bit RGBA with the transparency
// chunk applied, composed on white, placed by an eXIf orientation tag if there is one.
// Plain files decode a row at a time; interlaced ones need the whole picture first.
#include <memory>
#include <vector>

#include <spng.h>

#include "platform/picture/photo_readers.h"

namespace lumora::picture::detail {
namespace {

// Ancillary chunks (text, colour profiles) are not needed: cap what they may cost.
constexpr size_t kChunkLimit = size_t{16} << 20;
constexpr size_t kChunkCache = size_t{64} << 20;

struct ContextDeleter {
  void operator()(spng_ctx* c) const { spng_ctx_free(c); }
};
using Context = std::unique_ptr<spng_ctx, ContextDeleter>;

std::string problem(int code) {
  if (code == SPNG_EUSER_WIDTH || code == SPNG_EUSER_HEIGHT)
    return std::string("is too large: ") + spng_strerror(code);
  return std::string("not a readable PNG file: ") + spng_strerror(code);
}

Context open(ByteView file, uint32_t maxSide, std::string* reason) {
  Context ctx(spng_ctx_new(0));
  if (!ctx) {
    fail(reason, "cannot be decoded: out of memory");
    return nullptr;
  }
  spng_set_image_limits(ctx.get(), maxSide, maxSide);
  spng_set_chunk_limits(ctx.get(), kChunkLimit, kChunkCache);
  // A damaged critical chunk refuses the file; a damaged text or profile chunk is dropped.
  spng_set_crc_action(ctx.get(), SPNG_CRC_ERROR, SPNG_CRC_DISCARD);
  if (int rc = spng_set_png_buffer(ctx.get(), file.data(), file.size())) {
    fail(reason, problem(rc));
    return nullptr;
  }
  return ctx;
}

std::optional<PictureDescription> describeOpen(spng_ctx* ctx, std::string* reason) {
  spng_ihdr ihdr{};
  if (int rc = spng_get_ihdr(ctx, &ihdr)) {
    fail(reason, problem(rc));
    return std::nullopt;
  }
  PictureDescription d;
  d.format = PictureFormat::Png;
  spng_exif exif{};
  if (spng_get_exif(ctx, &exif) == 0)
    d.orientation =
        exifOrientation(ByteView(reinterpret_cast<const uint8_t*>(exif.data), exif.length));
  const bool swap = swapsSides(d.orientation);
  d.width = static_cast<int32_t>(swap ? ihdr.height : ihdr.width);
  d.height = static_cast<int32_t>(swap ? ihdr.width : ihdr.height);
  unsigned channels = 1;
  switch (ihdr.color_type) {
    case SPNG_COLOR_TYPE_TRUECOLOR:
      channels = 3;
      break;
    case SPNG_COLOR_TYPE_GRAYSCALE_ALPHA:
      channels = 2;
      break;
    case SPNG_COLOR_TYPE_TRUECOLOR_ALPHA:
      channels = 4;
      break;
    default:
      break;
  }
  d.bitsPerPixel = static_cast<uint16_t>(channels * ihdr.bit_depth);
  spng_trns trns{};
  d.alpha = channels == 2 || channels == 4 || spng_get_trns(ctx, &trns) == 0;
  return d;
}

}  // namespace

std::optional<PictureDescription> describePng(ByteView file, std::string* reason) {
  Context ctx = open(file, kPictureLimits.maxSide, reason);
  if (!ctx) return std::nullopt;
  return describeOpen(ctx.get(), reason);
}

std::optional<Picture> decodePng(ByteView file, const PictureLimits& limits, std::string* reason) {
  Context ctx = open(file, limits.maxSide, reason);
  if (!ctx) return std::nullopt;
  auto d = describeOpen(ctx.get(), reason);
  if (!d) return std::nullopt;
  spng_ihdr ihdr{};
  spng_get_ihdr(ctx.get(), &ihdr);
  const uint64_t w = ihdr.width, h = ihdr.height, rowBytes = w * 4;
  const bool interlaced = ihdr.interlace_method != SPNG_INTERLACE_NONE;
  if (!withinLimits(w, h, interlaced ? rowBytes * h : rowBytes, limits, reason))
    return std::nullopt;
  if (int rc = spng_decode_image(ctx.get(), nullptr, 0, SPNG_FMT_RGBA8,
                                 SPNG_DECODE_TRNS | SPNG_DECODE_PROGRESSIVE)) {
    fail(reason, problem(rc));
    return std::nullopt;
  }
  Picture out;
  out.bitsPerPixel = d->bitsPerPixel;
  UprightWriter writer(static_cast<int32_t>(w), static_cast<int32_t>(h), d->orientation, out);
  // An interlaced file fills its rows over seven passes: they are placed once all are in.
  std::vector<uint8_t> rows(static_cast<size_t>(interlaced ? rowBytes * h : rowBytes));
  auto place = [&](const uint8_t* p, uint32_t y) {
    for (uint32_t x = 0; x < w; ++x, p += 4)
      writer.put(static_cast<int32_t>(x), static_cast<int32_t>(y), onWhite(p[0], p[1], p[2], p[3]));
  };
  int rc = 0;
  do {
    spng_row_info info{};
    rc = spng_get_row_info(ctx.get(), &info);
    if (rc) break;
    uint8_t* row = rows.data() + (interlaced ? info.row_num * rowBytes : 0);
    rc = spng_decode_row(ctx.get(), row, static_cast<size_t>(rowBytes));
    if (!interlaced && (rc == 0 || rc == SPNG_EOI)) place(row, info.row_num);
  } while (rc == 0);
  if (rc != SPNG_EOI) {
    fail(reason,
         rc == SPNG_EOF || rc == SPNG_EIDAT_STREAM ? "truncated: " + problem(rc) : problem(rc));
    return std::nullopt;
  }
  // The last image chunk's checksum follows its data, so the rows are out before it is
  // read: read on to the end. A file that simply stops after the image stays readable.
  rc = spng_decode_chunks(ctx.get());
  if (rc == SPNG_ECHUNK_CRC) {
    fail(reason, problem(rc));
    return std::nullopt;
  }
  if (interlaced) {
    for (uint32_t y = 0; y < h; ++y) place(rows.data() + y * rowBytes, y);
  }
  return out;
}

}  // namespace lumora::picture::detail
