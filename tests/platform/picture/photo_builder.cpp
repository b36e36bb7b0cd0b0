#include "tests/platform/picture/photo_builder.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>

#include <jpeglib.h>
#include <libheif/heif.h>
#include <spng.h>

#include "platform/picture/picture.h"

namespace lumora::picture::test {

Bytes exifWithOrientation(uint16_t orientation, bool little) {
  Bytes b;
  auto u16 = [&](uint16_t v) { little ? appendLe16(b, v) : appendBe16(b, v); };
  auto u32 = [&](uint32_t v) { little ? appendLe32(b, v) : appendBe32(b, v); };
  appendText(b, little ? "II" : "MM");
  u16(42);
  u32(8);
  u16(2);  // entries: a resolution unit first, so the tag is not the only one
  u16(0x0128), u16(3), u32(1), u16(2), u16(0);
  u16(0x0112), u16(3), u32(1), u16(orientation), u16(0);
  u32(0);
  return b;
}

Bytes makeJpeg(int32_t width, int32_t height, const PixelFn& pixel, uint16_t orientation,
               JpegKind kind) {
  jpeg_compress_struct c{};
  jpeg_error_mgr err{};
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &buffer, &size);
  c.image_width = static_cast<JDIMENSION>(width);
  c.image_height = static_cast<JDIMENSION>(height);
  c.input_components = kind == JpegKind::grey ? 1 : kind == JpegKind::cmyk ? 4 : 3;
  c.in_color_space = kind == JpegKind::grey   ? JCS_GRAYSCALE
                     : kind == JpegKind::cmyk ? JCS_CMYK
                                              : JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, 95, TRUE);
  for (int i = 0; i < c.num_components; ++i)
    c.comp_info[i].h_samp_factor = c.comp_info[i].v_samp_factor = 1;
  if (kind == JpegKind::progressive) jpeg_simple_progression(&c);
  jpeg_start_compress(&c, TRUE);
  if (orientation) {
    Bytes app1;
    appendText(app1, "Exif");
    appendU8(app1, 0);
    appendU8(app1, 0);
    for (uint8_t b : exifWithOrientation(orientation, orientation % 2 == 0)) appendU8(app1, b);
    jpeg_write_marker(&c, JPEG_APP0 + 1, app1.data(), static_cast<unsigned>(app1.size()));
  }
  Bytes row(static_cast<size_t>(width) * static_cast<size_t>(c.input_components));
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      const uint32_t v = pixel(x, y);
      uint8_t* p = row.data() + static_cast<size_t>(x) * c.input_components;
      if (kind == JpegKind::grey) {
        p[0] = redOf(v);
      } else if (kind == JpegKind::cmyk) {
        // Adobe's form: 255 is no ink. Black ink only where every channel is dark.
        const uint8_t k = std::max({redOf(v), greenOf(v), blueOf(v)});
        auto ink = [&](uint8_t ch) {
          return k ? static_cast<uint8_t>(ch * 255 / k) : uint8_t{255};
        };
        p[0] = ink(redOf(v)), p[1] = ink(greenOf(v)), p[2] = ink(blueOf(v)), p[3] = k;
      } else {
        p[0] = redOf(v), p[1] = greenOf(v), p[2] = blueOf(v);
      }
    }
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&c, rows, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  Bytes out(buffer, buffer + size);
  std::free(buffer);
  return out;
}

Bytes makePng(const PngRecipe& s) {
  std::unique_ptr<spng_ctx, void (*)(spng_ctx*)> ctx(spng_ctx_new(SPNG_CTX_ENCODER), spng_ctx_free);
  spng_set_option(ctx.get(), SPNG_ENCODE_TO_BUFFER, 1);
  spng_ihdr ihdr{};
  ihdr.width = s.width;
  ihdr.height = s.height;
  ihdr.bit_depth = s.bitDepth;
  ihdr.color_type = s.colourType;
  ihdr.interlace_method = s.interlaced ? SPNG_INTERLACE_ADAM7 : SPNG_INTERLACE_NONE;
  spng_set_ihdr(ctx.get(), &ihdr);
  if (!s.palette.empty()) {
    spng_plte plte{};
    plte.n_entries = static_cast<uint32_t>(s.palette.size());
    for (size_t i = 0; i < s.palette.size(); ++i)
      plte.entries[i] = {redOf(s.palette[i]), greenOf(s.palette[i]), blueOf(s.palette[i]), 255};
    spng_set_plte(ctx.get(), &plte);
  }
  if (!s.paletteAlpha.empty()) {
    spng_trns trns{};
    trns.n_type3_entries = static_cast<uint32_t>(s.paletteAlpha.size());
    for (size_t i = 0; i < s.paletteAlpha.size(); ++i) trns.type3_alpha[i] = s.paletteAlpha[i];
    spng_set_trns(ctx.get(), &trns);
  }
  Bytes exifData;
  if (s.orientation) {
    exifData = exifWithOrientation(s.orientation);
    spng_exif exif{exifData.size(), reinterpret_cast<char*>(exifData.data())};
    spng_set_exif(ctx.get(), &exif);
  }
  Bytes samples = s.samples;
  if (int rc = spng_encode_image(ctx.get(), samples.data(), samples.size(), SPNG_FMT_PNG,
                                 SPNG_ENCODE_FINALIZE))
    throw std::runtime_error(std::string("spng: ") + spng_strerror(rc));
  size_t size = 0;
  int error = 0;
  void* png = spng_get_png_buffer(ctx.get(), &size, &error);
  if (!png) throw std::runtime_error(std::string("spng: ") + spng_strerror(error));
  Bytes out(static_cast<uint8_t*>(png), static_cast<uint8_t*>(png) + size);
  std::free(png);
  return out;
}

Bytes makeRgbPng(int32_t width, int32_t height, const PixelFn& pixel, uint16_t orientation,
                 bool interlaced) {
  PngRecipe s;
  s.width = static_cast<uint32_t>(width);
  s.height = static_cast<uint32_t>(height);
  s.interlaced = interlaced;
  s.orientation = orientation;
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      const uint32_t v = pixel(x, y);
      appendU8(s.samples, redOf(v));
      appendU8(s.samples, greenOf(v));
      appendU8(s.samples, blueOf(v));
    }
  }
  return makePng(s);
}

namespace {

struct HeifFree {
  void operator()(heif_context* c) const { heif_context_free(c); }
  void operator()(heif_image* i) const { heif_image_release(i); }
  void operator()(heif_encoder* e) const { heif_encoder_release(e); }
  void operator()(heif_image_handle* h) const { heif_image_handle_release(h); }
};

heif_error writeToBytes(heif_context*, const void* data, size_t size, void* userdata) {
  auto* out = static_cast<Bytes*>(userdata);
  out->assign(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size);
  return heif_error{heif_error_Ok, heif_suberror_Unspecified, "ok"};
}

}  // namespace

Bytes makeHeif(int32_t width, int32_t height, const PixelFn& pixel, uint16_t orientation,
               bool exifToo, bool alpha) {
  std::unique_ptr<heif_context, HeifFree> ctx(heif_context_alloc());
  heif_encoder* e = nullptr;
  if (heif_context_get_encoder_for_format(ctx.get(), heif_compression_HEVC, &e).code) return {};
  std::unique_ptr<heif_encoder, HeifFree> encoder(e);
  heif_encoder_set_lossy_quality(encoder.get(), 90);
  heif_image* raw = nullptr;
  heif_image_create(width, height, heif_colorspace_RGB,
                    alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, &raw);
  std::unique_ptr<heif_image, HeifFree> image(raw);
  heif_image_add_plane(image.get(), heif_channel_interleaved, width, height, 8);
  int stride = 0;
  uint8_t* plane = heif_image_get_plane(image.get(), heif_channel_interleaved, &stride);
  const int n = alpha ? 4 : 3;
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      const uint32_t v = pixel(x, y);
      uint8_t* p = plane + y * stride + x * n;
      p[0] = redOf(v), p[1] = greenOf(v), p[2] = blueOf(v);
      if (alpha) p[3] = static_cast<uint8_t>(v >> 24);  // alpha rides in the top byte
    }
  }
  heif_encoding_options* options = heif_encoding_options_alloc();
  options->image_orientation = static_cast<heif_orientation>(orientation);
  heif_image_handle* h = nullptr;
  heif_error rc = heif_context_encode_image(ctx.get(), image.get(), encoder.get(), options, &h);
  heif_encoding_options_free(options);
  if (rc.code) throw std::runtime_error(std::string("heif: ") + rc.message);
  std::unique_ptr<heif_image_handle, HeifFree> handle(h);
  if (exifToo) {
    // The library puts the offset of the TIFF header in front itself.
    Bytes exif = exifWithOrientation(orientation);
    heif_context_add_exif_metadata(ctx.get(), handle.get(), exif.data(),
                                   static_cast<int>(exif.size()));
  }
  Bytes out;
  heif_writer writer{1, writeToBytes};
  heif_context_write(ctx.get(), &writer, &out);
  return out;
}

}  // namespace lumora::picture::test
