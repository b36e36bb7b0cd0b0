#include <gtest/gtest.h>

#include <filesystem>

#include "platform/registry/font_values.h"
#include "platform/registry/fontconfig_fonts.h"
#include "platform/registry/registry.h"
#include "tests/platform/registry/private_fontconfig.h"
#include "tests/support/temp_dir.h"

namespace lumora::registry {
namespace {

const std::string kNtKey(fontKeyPath(kPlatformWin32Nt));

class HostRegistry : public testing::Test {
 protected:
  void SetUp() override { std::filesystem::create_directories(windows_); }

  test::TempDir dir_;
  std::string windows_ = dir_.file("win");
  test::ScopedEnv env_{"LUMORA_WINDOWS_DIR", windows_};
};

TEST_F(HostRegistry, AFontsRegFileIsTheRegistry) {
  test::writeText(windows_ + "/fonts.reg",
                  "Windows Registry Editor Version 5.00\n\n"
                  "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts]\n"
                  "\"Arial (TrueType)\"=\"arial.ttf\"\n");
  OpenedKey opened = hostRegistry().openLocalMachineKey(kNtKey);
  ASSERT_EQ(opened.error, kErrorSuccess);
  ValueText v = readValueText(*opened.key, "arial (truetype)");
  EXPECT_EQ(v.error, kErrorSuccess);
  EXPECT_EQ(v.type, kRegSz);
  EXPECT_EQ(v.text, "arial.ttf");
  EXPECT_EQ(readValueText(*opened.key, "Verdana (TrueType)").error, kErrorFileNotFound);

  EXPECT_EQ(hostRegistry().openLocalMachineKey(fontKeyPath(kPlatformWin32Windows)).error,
            kErrorFileNotFound);
}

TEST_F(HostRegistry, AnUnreadableFontsRegFileFailsTheOpen) {
  test::writeText(windows_ + "/fonts.reg", "not an export\n");
  EXPECT_EQ(hostRegistry().openLocalMachineKey(kNtKey).error, kErrorBadDb);
}

TEST_F(HostRegistry, SystemAnswers) {
  uint32_t id = 0;
  EXPECT_EQ(hostRegistry().platformId(id), 0);
  EXPECT_EQ(id, kPlatformWin32Nt);
  WindowsFolder folder = windowsFolder(hostRegistry());
  EXPECT_EQ(folder.error, 0);
  EXPECT_EQ(folder.path, windows_);
}

TEST(FontValueNames, FaceAndStyle) {
  struct Case {
    std::string_view name;
    bool ok;
    const char* family;
    bool bold, italic;
  } cases[] = {
      {"Arial (TrueType)", true, "Arial", false, false},
      {"Arial Bold (TrueType)", true, "Arial", true, false},
      {"Arial Bold Italic (TrueType)", true, "Arial", true, true},
      {"Times New Roman Italic (TrueType)", true, "Times New Roman", false, true},
      {"Arial", false, "", false, false},
      {" Bold (TrueType)", false, "", false, false},
  };
  for (auto c : cases) {
    auto face = parseFontValueName(c.name);
    ASSERT_EQ(face.has_value(), c.ok) << c.name;
    if (!face) continue;
    EXPECT_EQ(face->family, c.family);
    EXPECT_EQ(face->bold, c.bold) << c.name;
    EXPECT_EQ(face->italic, c.italic) << c.name;
  }
}

TEST_F(HostRegistry, WithoutFontsRegTheFontKeyIsFontconfig) {
  test::PrivateFontconfig fc(dir_);
  if (!fc.ready()) GTEST_SKIP() << "no DejaVu Sans found at configure time";
  OpenedKey opened = hostRegistry().openLocalMachineKey(kNtKey);
  ASSERT_EQ(opened.error, kErrorSuccess);
  ValueText v = readValueText(*opened.key, "DejaVu Sans (TrueType)");
  EXPECT_EQ(v.error, kErrorSuccess);
  EXPECT_EQ(v.type, kRegSz);
  EXPECT_EQ(v.text, fc.fontPath());
  EXPECT_TRUE(isFullPath(v.text));
  // Only the regular face is in the private configuration.
  EXPECT_EQ(readValueText(*opened.key, "DejaVu Sans Bold (TrueType)").error, kErrorFileNotFound);
  EXPECT_EQ(readValueText(*opened.key, "No Such Face (TrueType)").error, kErrorFileNotFound);
  EXPECT_EQ(hostRegistry().openLocalMachineKey("SOFTWARE\\Other").error, kErrorFileNotFound);
}

}  // namespace
}  // namespace lumora::registry
