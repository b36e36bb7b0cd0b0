// The reading seam as every build has it: .bmp files through it exactly as parseBmp reads
// them, the other formats refused by name where this build has no reader for them.
#include <gtest/gtest.h>

#include <string>

#include "platform/picture/picture.h"
#include "tests/platform/picture/bmp_builder.h"

namespace lumora::picture {
namespace {

Bytes bmp(int32_t width, int32_t height) {
  test::BmpFields s;
  s.width = width;
  s.height = height;
  s.pixels.assign(static_cast<size_t>((width * 3 + 3) / 4 * 4 * height), 0x5A);
  return test::buildBmp(s);
}

TEST(PictureSeam, BmpDecodesAsTheBmpReaderDecodesIt) {
  for (auto [w, h] : {std::pair{1, 1}, std::pair{7, 3}, std::pair{640, 2}}) {
    const Bytes file = bmp(w, h);
    auto direct = parseBmp(file);
    auto d = describePicture(file);
    auto seam = decodePicture(file, kPictureLimits, {});
    ASSERT_TRUE(direct && d && seam);
    EXPECT_EQ(d->format, PictureFormat::Bmp);
    EXPECT_EQ(d->width, w);
    EXPECT_EQ(d->bitsPerPixel, 24);
    EXPECT_EQ(seam->pixels, direct->pixels);
    EXPECT_EQ(seam->bitsPerPixel, direct->bitsPerPixel);
  }
}

TEST(PictureSeam, BmpBeyondTheCallersLimitsIsRefused) {
  struct Case {
    PictureLimits limits;
    bool decodes;
  };
  const Case cases[] = {
      {{64, 64 * 64, 64 * 64 * 4}, true},
      {{63, 1u << 20, 1u << 30}, false},
      {{64, 64 * 64 - 1, 1u << 30}, false},
      {{64, 1u << 20, 64 * 64 * 4 - 1}, false},
  };
  for (const auto& c : cases) {
    std::string reason;
    EXPECT_EQ(decodePicture(bmp(64, 64), c.limits, {}, &reason).has_value(), c.decodes);
    EXPECT_EQ(reason.empty(), c.decodes) << reason;
  }
}

TEST(PictureSeam, FormatsWithoutAReaderAreRefusedByName) {
  struct Case {
    Bytes head;
    PictureFormat format;
  };
  const Case cases[] = {
      {{0xFF, 0xD8, 0xFF, 0xE0, 0, 16}, PictureFormat::Jpeg},
      {{0x89, 'P', 'N', 'G', 13, 10, 26, 10, 0}, PictureFormat::Png},
      {{0, 0, 0, 24, 'f', 't', 'y', 'p', 'h', 'e', 'i', 'c', 0}, PictureFormat::Heif},
  };
  for (const auto& c : cases) {
    if (formatSupported(c.format)) continue;
    std::string reason;
    EXPECT_FALSE(describePicture(c.head, &reason));
    EXPECT_EQ(reason, formatName(c.format) + " pictures are not supported in this build");
    EXPECT_FALSE(decodePicture(c.head, kPictureLimits, {}, &reason));
    EXPECT_EQ(reason, formatName(c.format) + " pictures are not supported in this build");
  }
  std::string reason;
  EXPECT_FALSE(decodePicture(Bytes{'G', 'I', 'F', '8'}, kPictureLimits, {}, &reason));
  EXPECT_NE(reason.find("not a picture"), std::string::npos);
}

}  // namespace
}  // namespace lumora::picture
