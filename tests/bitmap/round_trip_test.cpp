// Desktop picture -> handheld bitmap -> desktop .bmp, through both seams.
#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>

#include "bitmap/bmp_file.h"
#include "bitmap/decoder.h"
#include "bitmap/encoder.h"
#include "bitmap/format.h"
#include "tests/platform/picture/bmp_builder.h"
#include "tests/support/temp_dir.h"

namespace lumora::bitmap {
namespace {

using picture::blueOf;
using picture::colourRef;
using picture::greenOf;
using picture::redOf;

// What the handheld shows for a desktop colour at a depth.
Rgb expected(uint32_t c, unsigned depth) {
  if (depth == 8) return colourTable(8)[colourToIndex(redOf(c), greenOf(c), blueOf(c))];
  return {static_cast<uint8_t>(redOf(c) & 0xF8), static_cast<uint8_t>(greenOf(c) & 0xFC),
          static_cast<uint8_t>(blueOf(c) & 0xF8)};
}

Rgb at(const DecodedPicture& p, int32_t x, int32_t y) {
  const uint8_t* px = p.rows.data() +
                      static_cast<size_t>(p.height - 1 - y) * bmpRowLength(p.width) +
                      3 * static_cast<size_t>(x);
  return {px[2], px[1], px[0]};
}

// Smooth areas (which code well) beside noise (which does not).
picture::Picture sample(int32_t width, int32_t height, uint16_t storedBits) {
  picture::Picture p;
  p.width = width;
  p.height = height;
  p.bitsPerPixel = storedBits;
  std::mt19937 rng(7);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x)
      p.pixels.push_back(x < width / 2 ? colourRef(uint8_t(y * 4), 90, 200)
                                       : static_cast<uint32_t>(rng() & 0xFFFFFF));
  return p;
}

// The picture encoded for caps and decoded again; nullopt (with a failure) when either side
// refuses it, or it comes back at another size.
std::optional<DecodedPicture> roundTrip(const picture::Picture& p, const DeviceCapabilities& caps) {
  auto encoded = encodePicture(p, caps);
  if (encoded.status != EncodeStatus::encoded) {
    ADD_FAILURE() << "encoder refused: " << encoded.reason;
    return std::nullopt;
  }
  std::string reason;
  auto decoded = decodeToRows(encoded.bitmap, kHandheldPictureLimits, &reason);
  if (!decoded) {
    ADD_FAILURE() << "decoder refused: " << reason;
  } else if (decoded->width != p.width || decoded->height != p.height) {
    ADD_FAILURE() << "came back as " << decoded->width << " x " << decoded->height;
    return std::nullopt;
  }
  return decoded;
}

// Whatever the encoder accepts must decode again: long thin pictures pass the encoder's
// area test with a side far beyond a handheld screen.
TEST(RoundTrip, EveryPictureTheEncoderAcceptsComesBack) {
  for (auto [w, h] : {std::pair{10000, 10}, std::pair{10, 10000}, std::pair{32767, 3}}) {
    SCOPED_TRACE(std::to_string(w) + " x " + std::to_string(h));
    const DeviceCapabilities caps{
        .depth = 16, .maxWidth = 320, .maxHeight = 320, .density = 144, .compression = 1};
    const picture::Picture p = sample(w, h, 24);
    auto decoded = roundTrip(p, caps);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(at(*decoded, w - 1, h - 1), expected(p.pixels.back(), 16));
  }
}

TEST(RoundTrip, EveryEncodedDepthDensityAndCoding) {
  for (uint8_t depth : {8, 16}) {
    for (uint16_t density : {72, 144}) {
      for (uint8_t compression : {0, 1}) {
        for (auto [w, h] : {std::pair{61, 40}, std::pair{160, 160}, std::pair{1, 1}}) {
          SCOPED_TRACE(std::to_string(depth) + " bits, density " + std::to_string(density) +
                       ", compression " + std::to_string(compression) + ", " + std::to_string(w) +
                       " x " + std::to_string(h));
          DeviceCapabilities caps;
          caps.depth = depth;
          caps.maxWidth = 160;
          caps.maxHeight = 160;
          caps.density = density;
          caps.compression = compression;
          const picture::Picture p = sample(w, h, 24);
          auto decoded = roundTrip(p, caps);
          ASSERT_TRUE(decoded);
          for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x)
              ASSERT_EQ(at(*decoded, x, y), expected(p.pixels[size_t(y * w + x)], depth))
                  << x << "," << y;
        }
      }
    }
  }
}

TEST(RoundTrip, PaletteDepthsTheEncoderNeverWrites) {
  for (unsigned bits : {1u, 2u, 4u, 8u}) {
    for (bool coded : {false, true}) {
      SCOPED_TRACE(std::to_string(bits) + (coded ? " bits, coded" : " bits, plain"));
      const int32_t w = 13, h = 5;
      const uint32_t row = rowLength(w, bits);
      Bytes plain(row * h, 0);
      std::vector<unsigned> indices;
      for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
          const unsigned v = static_cast<unsigned>(x * 7 + y * 3) % (1u << bits);
          indices.push_back(v);
          const size_t bit = size_t(x) * bits;
          plain[y * row + bit / 8] |= static_cast<uint8_t>(v << (8 - bits - bit % 8));
        }
      BitmapHeader header;
      header.width = w;
      header.height = h;
      header.bitsPerPixel = static_cast<uint8_t>(bits);
      header.rawSize = static_cast<uint32_t>(plain.size());
      header.compressionType = coded ? 1 : 0;
      auto hb = buildHeader(header);
      Bytes bitmap(hb.begin(), hb.end());
      const Bytes data = coded ? packRuns(plain, RunUnit::byte) : plain;
      bitmap.insert(bitmap.end(), data.begin(), data.end());
      auto decoded = decodeToRows(bitmap, kHandheldPictureLimits);
      ASSERT_TRUE(decoded);
      for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
          ASSERT_EQ(at(*decoded, x, y), colourTable(bits)[indices[size_t(y * w + x)]]);
    }
  }
}

// .bmp files of every stored depth through encodeBitmap and decodeBitmap, read back by the
// .bmp reader.
TEST(RoundTrip, FilesOfEveryStoredDepth) {
  test::TempDir dir;
  const std::vector<uint32_t> palette = {colourRef(255, 255, 255), colourRef(200, 30, 30),
                                         colourRef(0, 128, 0), colourRef(10, 10, 250)};
  for (uint16_t stored : {1, 4, 8, 16, 24, 32}) {
    SCOPED_TRACE(stored);
    const int32_t w = 9, h = 4;
    test::BmpFields s;
    s.width = w;
    s.height = h;
    s.bitsPerPixel = stored;
    if (stored <= 8)
      s.palette =
          stored == 1 ? std::vector<uint32_t>(palette.begin(), palette.begin() + 2) : palette;
    auto value = [&](int32_t x, int32_t y) -> uint32_t {
      if (stored == 1) return (x + y) % 2;
      if (stored <= 8) return (x + y) % 4;
      if (stored == 16) return static_cast<uint32_t>((x * 3) << 10 | (y * 7) << 5 | 31);
      const uint32_t c = colourRef(uint8_t(x * 28), uint8_t(y * 60), 77);
      return stored == 24 ? c : (redOf(c) << 16 | greenOf(c) << 8 | blueOf(c));
    };
    s.pixels = test::storeRows(w, h, stored, value);
    const std::string in = dir.file("in" + std::to_string(stored) + ".bmp");
    const std::string out = dir.file("out" + std::to_string(stored) + ".bmp");
    test::writeFile(in, test::buildBmp(s));

    DeviceCapabilities caps;
    caps.depth = 16;
    caps.maxWidth = 160;
    caps.maxHeight = 160;
    caps.density = 144;
    caps.compression = 1;
    auto bitmap = encodeBitmap(in, caps);
    ASSERT_TRUE(bitmap);
    const unsigned depth = stored > 8 ? 16 : 8;
    EXPECT_EQ(parseHeader(*bitmap)->bitsPerPixel, depth);
    ASSERT_TRUE(decodeBitmap(*bitmap, out, false, kHandheldPictureLimits));

    auto original = picture::loadPicture(in);
    auto back = picture::loadPicture(out);
    ASSERT_TRUE(original && back);
    EXPECT_EQ(back->bitsPerPixel, 24);
    for (size_t i = 0; i < back->pixels.size(); ++i) {
      const Rgb e = expected(original->pixels[i], depth);
      ASSERT_EQ(back->pixels[i], colourRef(e.r, e.g, e.b)) << i;
    }
  }
}

}  // namespace
}  // namespace lumora::bitmap
