// Reading .bmp files for the picture controls, with the light grey mapped.
#include <gtest/gtest.h>

#include <algorithm>

#include "conduit/resources/bitmaps.h"
#include "platform/ui/mapped_bitmap.h"

namespace lumora::ui {
namespace {

constexpr Rgb kGrey = rgb(192, 192, 192);
constexpr Rgb kFace = rgb(0x12, 0x34, 0x56);

// A bitmap file with the given bit count, palette and rows (each row already padded).
Bytes bmp(int32_t width, int32_t height, uint16_t bits, std::vector<Rgb> palette, Bytes rows,
          uint32_t compression = 0) {
  Bytes out;
  const uint32_t off = 14 + 40 + 4 * static_cast<uint32_t>(palette.size());
  out.push_back('B');
  out.push_back('M');
  appendLe32(out, off + static_cast<uint32_t>(rows.size()));
  appendLe32(out, 0);
  appendLe32(out, off);
  appendLe32(out, 40);
  appendLe32(out, static_cast<uint32_t>(width));
  appendLe32(out, static_cast<uint32_t>(height));
  appendLe16(out, 1);
  appendLe16(out, bits);
  appendLe32(out, compression);
  appendLe32(out, static_cast<uint32_t>(rows.size()));
  appendLe32(out, 0);
  appendLe32(out, 0);
  appendLe32(out, static_cast<uint32_t>(palette.size()));
  appendLe32(out, 0);
  for (Rgb c : palette) {
    out.push_back(static_cast<uint8_t>(c));
    out.push_back(static_cast<uint8_t>(c >> 8));
    out.push_back(static_cast<uint8_t>(c >> 16));
    out.push_back(0);
  }
  for (uint8_t byte : rows) out.push_back(byte);
  return out;
}

TEST(MappedBitmap, MapsPaletteEntriesOfEveryDepth) {
  const Rgb red = rgb(255, 0, 0), near = rgb(192, 192, 191);
  struct Case {
    const char* name;
    Bytes file;
    std::vector<Rgb> expected;  // top row first
  } cases[] = {
      {"4-bit bottom-up",
       bmp(3, 2, 4, {red, kGrey, near}, {0x10, 0x20, 0, 0, 0x01, 0x10, 0, 0}),
       {red, kFace, kFace, kFace, red, near}},
      {"4-bit top-down",
       bmp(3, -2, 4, {red, kGrey}, {0x01, 0x10, 0, 0, 0x11, 0x00, 0, 0}),
       {red, kFace, kFace, kFace, kFace, red}},
      {"1-bit",
       bmp(9, 1, 1, {kGrey, red}, {0xA0, 0x80, 0, 0}),
       {red, kFace, red, kFace, kFace, kFace, kFace, kFace, red}},
      {"8-bit", bmp(2, 1, 8, {red, near, kGrey}, {2, 1, 0, 0}), {kFace, near}},
      {"24-bit", bmp(2, 1, 24, {}, {192, 192, 192, 0, 0, 255, 0, 0}), {kFace, red}},
      {"index past a short palette", bmp(2, 1, 4, {red}, {0x05, 0, 0, 0}), {red, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto image = decodeMappedBitmap(c.file, kGrey, kFace);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->pixels, c.expected);
  }
}

TEST(MappedBitmap, RefusesWhatItCannotRead) {
  Bytes good = bmp(2, 2, 4, {kGrey}, {0, 0, 0, 0, 0, 0, 0, 0});
  ASSERT_TRUE(decodeMappedBitmap(good, kGrey, kFace));
  auto patched = [&](size_t at, const Bytes& bytes) {
    Bytes b = good;
    for (size_t i = 0; i < bytes.size(); ++i) b.at(at + i) = bytes[i];
    return b;
  };
  struct Case {
    const char* name;
    Bytes file;
  } cases[] = {
      {"empty", {}},
      {"not BM", patched(0, {'B', 'A'})},
      {"header cut", Bytes(good.begin(), good.begin() + 40)},
      {"pixels cut", Bytes(good.begin(), good.end() - 1)},
      {"palette past the end", patched(46, {0xFF, 0, 0, 0})},
      {"run-length coded", bmp(2, 2, 4, {kGrey}, {0, 0, 0, 0, 0, 0, 0, 0}, 2)},
      {"16-bit", bmp(2, 1, 16, {}, {0, 0, 0, 0})},
      {"zero width", bmp(0, 1, 24, {}, {0, 0, 0, 0})},
      {"zero height", bmp(1, 0, 24, {}, {})},
      {"offset past the end", patched(10, {0xFF, 0xFF, 0, 0})},
      {"info header larger than the file", patched(14, {0xFF, 0xFF, 0, 0})},
      {"two planes", patched(26, {2})},
      {"huge", bmp(100000, 100000, 1, {kGrey}, {0, 0, 0, 0})},
      {"most negative height", patched(22, {0, 0, 0, 0x80})},
  };
  for (const Case& c : cases) EXPECT_FALSE(decodeMappedBitmap(c.file, kGrey, kFace)) << c.name;
}

TEST(ActionBitmaps, AreSixteenColourPicturesOnLightGrey) {
  for (uint32_t id : {103u, 104u, 105u, 106u}) {
    SCOPED_TRACE(id);
    auto bytes = conduit::bitmapResource(id);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(loadLe16(bytes->data() + 28), 4);  // 16 colours
    auto plain = decodeMappedBitmap(*bytes, kGrey, kGrey);
    auto mapped = decodeMappedBitmap(*bytes, kGrey, kFace);
    ASSERT_TRUE(plain && mapped);
    EXPECT_EQ(plain->width, 48);
    EXPECT_EQ(plain->height, 24);
    size_t grey = 0;
    for (size_t i = 0; i < plain->pixels.size(); ++i) {
      if (plain->pixels[i] == kGrey) {
        ++grey;
        EXPECT_EQ(mapped->pixels[i], kFace);
      } else {
        EXPECT_EQ(mapped->pixels[i], plain->pixels[i]);
      }
    }
    // Background around a drawing: the corners and a good part of the picture.
    EXPECT_EQ(plain->at(0, 0), kGrey);
    EXPECT_EQ(plain->at(47, 23), kGrey);
    EXPECT_GT(grey, plain->pixels.size() / 4);
    EXPECT_LT(grey, plain->pixels.size() * 3 / 4);
  }
  // Four different pictures.
  for (uint32_t a = 103; a <= 106; ++a)
    for (uint32_t b = a + 1; b <= 106; ++b)
      EXPECT_FALSE(std::ranges::equal(*conduit::bitmapResource(a), *conduit::bitmapResource(b)));
  EXPECT_FALSE(conduit::bitmapResource(102));
  EXPECT_FALSE(conduit::bitmapResource(107));
}

TEST(ImageStore, HandsOutDistinctIdsAndForgetsRemovedOnes) {
  ImageStore store;
  ImageId a = store.add({1, 1, {kGrey}});
  ImageId b = store.add({1, 1, {kFace}});
  EXPECT_NE(a, 0u);
  EXPECT_NE(a, b);
  EXPECT_EQ(store.get(b)->at(0, 0), kFace);
  EXPECT_TRUE(store.remove(a));
  EXPECT_FALSE(store.remove(a));
  EXPECT_EQ(store.get(a), nullptr);
  EXPECT_EQ(store.get(0), nullptr);
  EXPECT_EQ(store.live(), 1u);
}

}  // namespace
}  // namespace lumora::ui
