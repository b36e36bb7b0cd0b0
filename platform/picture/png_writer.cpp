#include "platform/picture/png_writer.h"

#include <memory>
#include <vector>

#include "platform/files/files.h"

#ifdef LUMORA_PHOTO_READERS
#include <spng.h>
#endif

namespace lumora::picture {
namespace {

bool refuse(std::string* reason, std::string text) {
  if (reason) *reason = std::move(text);
  return false;
}

}  // namespace

#ifdef LUMORA_PHOTO_READERS

namespace {

struct ContextDeleter {
  void operator()(spng_ctx* c) const { spng_ctx_free(c); }
};

int writeTo(spng_ctx*, void* user, void* bytes, size_t length) {
  auto* out = static_cast<files::OutputFile*>(user);
  return out->write(static_cast<const uint8_t*>(bytes), length) ? 0 : SPNG_IO_ERROR;
}

}  // namespace

bool pngWriterBuilt() {
  return true;
}

bool writePng(std::string_view path, int32_t width, int32_t height, const RgbRowSource& rows,
              std::string* reason) {
  if (width <= 0 || height <= 0) return refuse(reason, "the picture has no pixels");
  auto out = files::fileSystem().createOutput(path, true);
  if (!out) return refuse(reason, "cannot be written");
  std::unique_ptr<spng_ctx, ContextDeleter> ctx(spng_ctx_new(SPNG_CTX_ENCODER));
  if (!ctx) return refuse(reason, "cannot be written: out of memory");
  spng_ihdr ihdr{};
  ihdr.width = static_cast<uint32_t>(width);
  ihdr.height = static_cast<uint32_t>(height);
  ihdr.bit_depth = 8;
  ihdr.color_type = SPNG_COLOR_TYPE_TRUECOLOR;
  std::vector<uint8_t> row(static_cast<size_t>(width) * 3);
  int rc = spng_set_png_stream(ctx.get(), writeTo, out.get());
  if (rc == 0) rc = spng_set_ihdr(ctx.get(), &ihdr);
  if (rc == 0)
    rc = spng_encode_image(ctx.get(), nullptr, 0, SPNG_FMT_PNG,
                           SPNG_ENCODE_PROGRESSIVE | SPNG_ENCODE_FINALIZE);
  for (int32_t y = 0; rc == 0; ++y) {
    rows(y, row);
    rc = spng_encode_row(ctx.get(), row.data(), row.size());
  }
  if (rc != SPNG_EOI) {
    return refuse(reason, rc == SPNG_IO_ERROR
                              ? std::string("cannot be written")
                              : std::string("cannot be written: ") + spng_strerror(rc));
  }
  // An uncommitted output removes its temporary file.
  return out->commit() || refuse(reason, "cannot be written");
}

#else

bool pngWriterBuilt() {
  return false;
}

bool writePng(std::string_view, int32_t, int32_t, const RgbRowSource&, std::string* reason) {
  return refuse(reason, "PNG files cannot be written in this build");
}

#endif

}  // namespace lumora::picture
