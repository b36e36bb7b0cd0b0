#include "pictures/photo_files.h"

#include <gtest/gtest.h>

namespace lumora::pictures {
namespace {

TEST(PhotoFiles, KnowsThePhotoExtensionsInAnyCase) {
  const struct {
    const char* file;
    bool photo;
    std::optional<std::string> name;
  } cases[] = {
      {"Beach.jpg", true, "Beach"},
      {"Beach.JPEG", true, "Beach"},
      {"a.b.png", true, "a.b"},
      {"IMG_0001.HEIC", true, "IMG_0001"},
      {"x.heif", true, "x"},
      {"Beach.bmp", false, "Beach"},
      {"jpg", false, std::nullopt},
      {".jpg", false, std::nullopt},
      {"Beach.jpg.txt", false, "Beach.jpg"},
      {"0123456789012345678901234567890.jpeg", true, "0123456789012345678901234567890"},
      {"01234567890123456789012345678901.jpg", true, std::nullopt},  // 32 characters
  };
  for (const auto& c : cases) {
    EXPECT_EQ(isPhotoFile(c.file), c.photo) << c.file;
    EXPECT_EQ(photoDatabaseName(c.file), c.name) << c.file;
  }
}

TEST(PhotoFiles, ABmpOrAnEarlierPhotoOfTheSameNameGoesInstead) {
  const struct {
    const char* what;
    std::vector<std::string> bmps, entries, send;
    std::vector<std::pair<std::string, std::string>> leftOut;
  } cases[] = {
      {"no collision", {"A.bmp"}, {"A.bmp", "B.jpg", "C.png", "notes.txt"}, {"B.jpg", "C.png"}, {}},
      {"bmp wins", {"Sea.bmp"}, {"Sea.bmp", "Sea.jpg"}, {}, {{"Sea.jpg", "Sea.bmp"}}},
      {"case does not matter", {"sea.bmp"}, {"SEA.HEIC", "sea.bmp"}, {}, {{"SEA.HEIC", "sea.bmp"}}},
      {"first photo wins",
       {},
       {"Sea.heic", "Sea.jpg", "Sea.png"},
       {"Sea.heic"},
       {{"Sea.jpg", "Sea.heic"}, {"Sea.png", "Sea.heic"}}},
      {"long name still refused later",
       {},
       {std::string(40, 'x') + ".jpg"},
       {std::string(40, 'x') + ".jpg"},
       {}},
  };
  for (const auto& c : cases) {
    PhotoPlan plan = planPhotos(c.bmps, c.entries);
    EXPECT_EQ(plan.send, c.send) << c.what;
    std::vector<std::pair<std::string, std::string>> left;
    for (const auto& l : plan.leftOut) left.emplace_back(l.photo, l.goes);
    EXPECT_EQ(left, c.leftOut) << c.what;
  }
}

}  // namespace
}  // namespace lumora::pictures
