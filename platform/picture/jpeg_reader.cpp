// JPEG through libjpeg(-turbo)'s scanline interface: DCT scaling to the caller's size, one
// row at a time into the upright picture, so memory stays at the scaled picture plus a
// row. Library errors come back through setjmp/longjmp; a file that ends early is refused
// at the first missing byte instead of being padded with grey.
#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

// jpeglib.h needs size_t and FILE declared first.
#include <jerror.h>
#include <jpeglib.h>

#include "platform/picture/photo_readers.h"

namespace lumora::picture::detail {
namespace {

constexpr int kMaxScans = 500;  // progressive files with endless scans only burn time
constexpr unsigned kExifMarker = JPEG_APP0 + 1;

struct ErrorManager {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void onError(j_common_ptr cinfo) {
  auto* e = reinterpret_cast<ErrorManager*>(cinfo->err);
  e->mgr.format_message(cinfo, e->message);
  std::longjmp(e->jump, 1);
}

void onMessage(j_common_ptr cinfo, int level) {
  auto* e = reinterpret_cast<ErrorManager*>(cinfo->err);
  if (level < 0 && e->mgr.msg_code == JWRN_JPEG_EOF) {
    std::snprintf(e->message, sizeof e->message, "truncated: the data ends too early");
    std::longjmp(e->jump, 1);
  }
  // Other warnings (stray bytes between segments) leave a usable picture.
}

void onProgress(j_common_ptr cinfo) {
  auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
  if (d->input_scan_number > kMaxScans) {
    auto* e = reinterpret_cast<ErrorManager*>(cinfo->err);
    std::snprintf(e->message, sizeof e->message, "has more than %d scans", kMaxScans);
    std::longjmp(e->jump, 1);
  }
}

// The library's state; the functions that may jump hold nothing with a destructor.
struct Decompressor {
  jpeg_decompress_struct cinfo{};
  ErrorManager error{};
  jpeg_progress_mgr progress{};
  bool created = false;

  Decompressor() {
    cinfo.err = jpeg_std_error(&error.mgr);
    error.mgr.error_exit = onError;
    error.mgr.emit_message = onMessage;
    error.message[0] = 0;
    progress.progress_monitor = onProgress;
  }
  ~Decompressor() {
    if (created) jpeg_destroy_decompress(&cinfo);
  }
  Decompressor(const Decompressor&) = delete;
  Decompressor& operator=(const Decompressor&) = delete;
};

struct Header {
  PictureDescription description;
  bool cmyk = false;
  bool inverted = false;  // Adobe's CMYK: 0 is full ink
};

// Reads the headers and the orientation tag; the caller has set the jump.
void readHeader(Decompressor& d, ByteView file, Header& h) {
  jpeg_create_decompress(&d.cinfo);
  d.created = true;
  d.cinfo.progress = &d.progress;
  jpeg_mem_src(&d.cinfo, file.data(), static_cast<unsigned long>(file.size()));
  jpeg_save_markers(&d.cinfo, kExifMarker, 0xFFFF);
  jpeg_read_header(&d.cinfo, TRUE);
  int orientation = 1;
  static constexpr uint8_t kExif[] = {'E', 'x', 'i', 'f', 0, 0};
  for (jpeg_saved_marker_ptr m = d.cinfo.marker_list; m; m = m->next) {
    if (m->marker != kExifMarker || m->data_length < sizeof kExif ||
        std::memcmp(m->data, kExif, sizeof kExif) != 0)
      continue;
    orientation = exifOrientation(ByteView(m->data, m->data_length).subspan(sizeof kExif));
    break;
  }
  const J_COLOR_SPACE space = d.cinfo.jpeg_color_space;
  h.cmyk = space == JCS_CMYK || space == JCS_YCCK;
  h.inverted = h.cmyk && d.cinfo.saw_Adobe_marker;
  PictureDescription& desc = h.description;
  desc.format = PictureFormat::Jpeg;
  desc.orientation = orientation;
  const auto w = static_cast<int32_t>(d.cinfo.image_width);
  const auto ht = static_cast<int32_t>(d.cinfo.image_height);
  desc.width = swapsSides(orientation) ? ht : w;
  desc.height = swapsSides(orientation) ? w : ht;
  desc.bitsPerPixel = static_cast<uint16_t>(8 * d.cinfo.num_components);
}

bool describe(Decompressor& d, ByteView file, Header& h, std::string* reason) {
  if (setjmp(d.error.jump))
    return fail(reason, std::string("not a readable JPEG file: ") + d.error.message);
  readHeader(d, file, h);
  return true;
}

// The smallest n of n/8 whose output is at least the wanted stored size; full size when
// nothing is wanted.
void chooseScale(jpeg_decompress_struct& cinfo, int32_t wantWidth, int32_t wantHeight) {
  cinfo.scale_denom = 8;
  cinfo.scale_num = 8;
  if (wantWidth <= 0 && wantHeight <= 0) return;
  for (unsigned n = 1; n <= 8; ++n) {
    cinfo.scale_num = n;
    jpeg_calc_output_dimensions(&cinfo);
    if (static_cast<int64_t>(cinfo.output_width) >= wantWidth &&
        static_cast<int64_t>(cinfo.output_height) >= wantHeight)
      return;
  }
}

struct Output {
  Picture picture;
  std::vector<uint8_t> row;
};

uint32_t fromCmyk(const uint8_t* p, bool inverted) {
  auto channel = [&](uint8_t c) {
    const unsigned k = inverted ? p[3] : 255u - p[3];
    const unsigned v = inverted ? c : 255u - c;
    return static_cast<uint8_t>((v * k + 127u) / 255u);
  };
  return colourRef(channel(p[0]), channel(p[1]), channel(p[2]));
}

bool decode(Decompressor& d, ByteView file, const PictureLimits& limits, const DecodeHint& hint,
            Output& out, std::string* reason) {
  // Set before the jump: the library calls may overwrite locals it would restore.
  Header h;
  if (setjmp(d.error.jump))
    return fail(reason, std::string("not a readable JPEG file: ") + d.error.message);
  readHeader(d, file, h);
  if (d.cinfo.image_width > limits.maxSide || d.cinfo.image_height > limits.maxSide) {
    return fail(reason, "is too large (" + std::to_string(d.cinfo.image_width) + " x " +
                            std::to_string(d.cinfo.image_height) + " pixels)");
  }
  const bool swap = swapsSides(h.description.orientation);
  chooseScale(d.cinfo, swap ? hint.atLeastHeight : hint.atLeastWidth,
              swap ? hint.atLeastWidth : hint.atLeastHeight);
  d.cinfo.out_color_space = h.cmyk ? JCS_CMYK : JCS_RGB;
  jpeg_calc_output_dimensions(&d.cinfo);
  const uint64_t w = d.cinfo.output_width, ht = d.cinfo.output_height;
  const uint64_t rowBytes = w * static_cast<uint64_t>(d.cinfo.output_components);
  if (!withinLimits(w, ht, rowBytes, limits, reason)) return false;
  // Whatever the library holds besides (a progressive file's coefficients) must fit in
  // the rest; beyond it the library stops with an error instead of allocating.
  d.cinfo.mem->max_memory_to_use =
      static_cast<long>(std::max<uint64_t>(1, limits.maxBytes - w * ht * 4 - rowBytes));
  jpeg_start_decompress(&d.cinfo);
  out.row.resize(static_cast<size_t>(rowBytes));
  UprightWriter writer(static_cast<int32_t>(w), static_cast<int32_t>(ht), h.description.orientation,
                       out.picture);
  out.picture.bitsPerPixel = h.description.bitsPerPixel;
  JSAMPROW rows[1] = {out.row.data()};
  while (d.cinfo.output_scanline < d.cinfo.output_height) {
    const auto y = static_cast<int32_t>(d.cinfo.output_scanline);
    if (jpeg_read_scanlines(&d.cinfo, rows, 1) != 1) continue;
    const uint8_t* p = out.row.data();
    if (h.cmyk) {
      for (int32_t x = 0; x < static_cast<int32_t>(w); ++x, p += 4)
        writer.put(x, y, fromCmyk(p, h.inverted));
    } else {
      for (int32_t x = 0; x < static_cast<int32_t>(w); ++x, p += 3)
        writer.put(x, y, colourRef(p[0], p[1], p[2]));
    }
  }
  // The rest of the file (after the last row) is not read: a missing end marker costs
  // nothing.
  return true;
}

}  // namespace

std::optional<PictureDescription> describeJpeg(ByteView file, std::string* reason) {
  Decompressor d;
  Header h;
  if (!describe(d, file, h, reason)) return std::nullopt;
  return h.description;
}

std::optional<Picture> decodeJpeg(ByteView file, const PictureLimits& limits,
                                  const DecodeHint& hint, std::string* reason) {
  Decompressor d;
  Output out;
  if (!decode(d, file, limits, hint, out, reason)) return std::nullopt;
  return std::move(out.picture);
}

}  // namespace lumora::picture::detail
