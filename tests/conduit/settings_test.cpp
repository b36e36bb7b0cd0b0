#include "conduit/settings.h"

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

namespace lumora::conduit {
namespace {

class Settings : public ::testing::Test {
 protected:
  test::TempDir dir;
  test::ScopedEnv windows{"LUMORA_WINDOWS_DIR", dir.path()};
  ConduitSettings s;
  void ini(const std::string& body) {
    test::writeText(dir.file("Lumdex.ini"), "[Lumdex]\r\n" + body);
  }
};

TEST_F(Settings, DefaultsWithoutIniFile) {
  loadSettings(s);
  EXPECT_STREQ(s.syncFolder, "C:\\Lumdex");
  EXPECT_STREQ(s.fontFolder, "c:\\program files\\tarnwell\\lumdex");
  EXPECT_EQ(s.acceptedCapabilities.density, 144);
  EXPECT_EQ(s.acceptedCapabilities.depth, 16);
  EXPECT_EQ(s.acceptedCapabilities.compression, 1);
}

TEST_F(Settings, IntegersAreCutToTheirFieldWidth) {
  ini("AcceptedDepth=260\r\nAcceptedDensity=abc\r\nAcceptedCompression=513\r\n");
  loadSettings(s);
  EXPECT_EQ(s.acceptedCapabilities.depth, 4);
  EXPECT_EQ(s.acceptedCapabilities.density, 0);
  EXPECT_EQ(s.acceptedCapabilities.compression, 1);
  ini("AcceptedDensity=65608\r\n");
  loadSettings(s);
  EXPECT_EQ(s.acceptedCapabilities.density, 72);
}

TEST_F(Settings, EmptySyncDirStaysEmptyAndOtherValuesAreTakenAsTheyAre) {
  ini("SyncDir=\r\nAcceptedDepth=4\r\n");
  loadSettings(s);
  EXPECT_STREQ(s.syncFolder, "");
  EXPECT_EQ(s.acceptedCapabilities.depth, 4);
}

TEST_F(Settings, LongFolderIsCutTo259Characters) {
  ini("SyncDir=" + std::string(400, 'p') + "\r\n");
  loadSettings(s);
  EXPECT_EQ(std::string(s.syncFolder), std::string(259, 'p'));
}

TEST_F(Settings, StoredValuesAreReadAtNextLoad) {
  EXPECT_TRUE(storeSetting(kKeySyncDir, "D:\\Pictures"));
  EXPECT_TRUE(storeSetting(kKeyDepth, 8u));
  loadSettings(s);
  EXPECT_STREQ(s.syncFolder, "D:\\Pictures");
  EXPECT_EQ(s.acceptedCapabilities.depth, 8);
  EXPECT_EQ(test::readText(dir.file("Lumdex.ini")),
            "[Lumdex]\r\nSyncDir=D:\\Pictures\r\nAcceptedDepth=8\r\n");
}

TEST_F(Settings, PhotoKeysAreOffUnlessANumberOtherThanZero) {
  const struct {
    const char* body;
    bool photos, fit, dither;
  } cases[] = {
      {"", false, false, false},
      {"Photos=1\r\nFitToDevice=1\r\nDither=1\r\n", true, true, true},
      {"Photos=0\r\nFitToDevice=1\r\n", false, true, false},
      {"Dither=2\r\nPhotos=yes\r\n", false, false, true},
  };
  for (const auto& c : cases) {
    ini(c.body);
    loadSettings(s);
    EXPECT_EQ(s.photos, c.photos) << c.body;
    EXPECT_EQ(s.fitToDevice, c.fit) << c.body;
    EXPECT_EQ(s.dither, c.dither) << c.body;
  }
}

}  // namespace
}  // namespace lumora::conduit
