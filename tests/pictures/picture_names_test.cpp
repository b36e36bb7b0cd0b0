#include "pictures/picture_names.h"

#include <gtest/gtest.h>

namespace lumora::pictures {
namespace {

struct StemCase {
  const char* name;
  bool safe;
};

TEST(PictureNames, HandheldNamesThatStayInsideTheSyncFolder) {
  const StemCase cases[] = {
      {"Sunset", true},  {"Beach 2004", true},  {"a.b", true},       {"..x", true},
      {"CONSOLE", true}, {"COM0", true},        {"LPT10", true},     {"", false},
      {".", false},      {"..", false},         {"..\\evil", false}, {"a/b", false},
      {"C:evil", false}, {"tab\there", false},  {"del\x7f", false},  {"CON", false},
      {"con", false},    {"Nul.txt", false},    {"AUX ", false},     {"com1", false},
      {"LPT9", false},   {"PRN.tar.gz", false},
  };
  for (const auto& c : cases) EXPECT_EQ(isSafeFileStem(c.name), c.safe) << '"' << c.name << '"';
}

TEST(PictureNames, DatabaseNameOfADesktopFile) {
  struct Case {
    const char* file;
    std::optional<std::string> name;
  };
  const Case cases[] = {
      {"Sunset.bmp", "Sunset"},
      {"Sunset.BMP", "Sunset"},
      {"x.bmp", "x"},
      {".bmp", std::nullopt},
      {"bmp", std::nullopt},
      {"1234567890123456789012345678901.bmp", "1234567890123456789012345678901"},
      {"12345678901234567890123456789012.bmp", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(databaseNameFor(c.file), c.name) << c.file;
}

}  // namespace
}  // namespace lumora::pictures
