#include "fonts/font_names.h"

#include <gtest/gtest.h>

namespace lumora::fonts {
namespace {

TEST(FontNames, FileTitle) {
  struct Case {
    std::string_view path, title;
  } cases[] = {
      {"C:\\WINDOWS\\Fonts\\arial.ttf", "arial.ttf"},
      {"C:/fonts/x.ttf", "x.ttf"},
      {"/home/u/fonts/DejaVuSans.ttf", "DejaVuSans.ttf"},
      {"C:arial.ttf", "arial.ttf"},
      {"plain.ttf", "plain.ttf"},
      {"C:\\fonts\\", ""},
  };
  for (auto c : cases) EXPECT_EQ(fileTitle(c.path), c.title) << c.path;
}

TEST(FontNames, LongTitlesAreCutToTheTitleBuffer) {
  const std::string name(150, 'a');
  EXPECT_EQ(fileTitle("C:\\f\\" + name), std::string(99, 'a'));
}

TEST(FontNames, ConduitDatabaseName) {
  struct Case {
    std::string_view title, name;
  } cases[] = {
      {"A Very Long Font Family Name Regular.ttf", "A Very Long Font Family Name.ttf"},
      {"exactly thirty-two characters!!!", "exactly thirty-two characters!!!"},
      {"thirty-three characters long.ttf!", "thirty-three characters long.ttf"},
      {"arial", "arial"},
      {"", ""},
  };
  for (auto c : cases) EXPECT_EQ(conduitDatabaseName(c.title), c.name) << c.title;
}

TEST(FontNames, InstallerBaseNameAndNameField) {
  EXPECT_EQ(baseName("C:\\WINDOWS\\Fonts\\arial.ttf"), "arial.ttf");
  EXPECT_EQ(baseName("C:/fonts/x.ttf"), "x.ttf");
  EXPECT_EQ(baseName("C:\\mixed/dir\\y.ttf"), "y.ttf");
  EXPECT_EQ(baseName("alone.ttf"), "alone.ttf");

  const std::string b33(33, 'b');
  auto field = installerNameField(b33);
  ASSERT_TRUE(field);
  EXPECT_EQ(std::string(field->begin(), field->end()), std::string(32, 'b'));
  EXPECT_TRUE(installerNameField("a"));
  EXPECT_FALSE(installerNameField(std::string(34, 'c')));
  EXPECT_FALSE(installerNameField(""));
  EXPECT_EQ(nameOf(*installerNameField("arial.ttf")), "arial.ttf");
}

}  // namespace
}  // namespace lumora::fonts
