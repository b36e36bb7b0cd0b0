#include "platform/profile/profile.h"

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

namespace lumora::profile {
namespace {

class ProfileFile : public ::testing::Test {
 protected:
  test::TempDir dir;
  test::ScopedEnv windows{"LUMORA_WINDOWS_DIR", dir.path()};
  std::string ini() const { return dir.file("Lumdex.ini"); }
};

TEST_F(ProfileFile, MissingFileGivesDefaults) {
  char buf[260];
  EXPECT_EQ(getString("Lumdex", "SyncDir", "C:\\Lumdex", buf, sizeof buf, "Lumdex.ini"), 9u);
  EXPECT_STREQ(buf, "C:\\Lumdex");
  EXPECT_EQ(getInt("Lumdex", "AcceptedDensity", 144, "Lumdex.ini"), 144u);
}

TEST_F(ProfileFile, PresentButEmptyStringStaysEmptyButEmptyIntegerTakesDefault) {
  test::writeText(ini(), "[Lumdex]\r\nSyncDir=\r\nAcceptedDepth=\r\n");
  char buf[260] = "junk";
  EXPECT_EQ(getString("Lumdex", "SyncDir", "C:\\Lumdex", buf, sizeof buf, "Lumdex.ini"), 0u);
  EXPECT_STREQ(buf, "");
  EXPECT_EQ(getInt("Lumdex", "AcceptedDepth", 16, "Lumdex.ini"), 16u);
}

TEST_F(ProfileFile, TextIsCutToCapacityLessOne) {
  test::writeText(ini(), "[Lumdex]\nSyncDir=" + std::string(300, 'x') + "\n");
  char buf[260];
  EXPECT_EQ(getString("Lumdex", "SyncDir", "", buf, sizeof buf, "Lumdex.ini"), 259u);
  EXPECT_EQ(std::string(buf), std::string(259, 'x'));
  char small[5];
  EXPECT_EQ(getString("Lumdex", "SyncDir", "", small, sizeof small, "Lumdex.ini"), 4u);
  EXPECT_STREQ(small, "xxxx");
}

TEST_F(ProfileFile, IntegersFromLeadingDigits) {
  test::writeText(ini(), "[Lumdex]\nAcceptedDepth=260\nAcceptedDensity=abc\nX=72 dpi\n");
  EXPECT_EQ(getInt("Lumdex", "AcceptedDepth", 16, "Lumdex.ini"), 260u);
  EXPECT_EQ(getInt("Lumdex", "AcceptedDensity", 144, "Lumdex.ini"), 0u);
  EXPECT_EQ(getInt("lumdex", "x", 0, "Lumdex.ini"), 72u);
}

TEST_F(ProfileFile, WriteCreatesFileAndFolderThenReplacesInPlace) {
  test::ScopedEnv nested{"LUMORA_WINDOWS_DIR", dir.file("new/windows")};
  ASSERT_TRUE(writeString("Lumdex", "SyncDir", "D:\\Pics", "Lumdex.ini"));
  ASSERT_TRUE(writeString("Lumdex", "AcceptedDepth", "8", "Lumdex.ini"));
  ASSERT_TRUE(writeString("lumdex", "SYNCDIR", "E:\\", "Lumdex.ini"));
  EXPECT_EQ(test::readText(dir.file("new/windows/Lumdex.ini")),
            "[Lumdex]\r\nSYNCDIR=E:\\\r\nAcceptedDepth=8\r\n");
}

TEST_F(ProfileFile, WriteKeepsOtherSectionsAndComments) {
  test::writeText(ini(), "; mine\n[Other]\nk=v\n");
  ASSERT_TRUE(writeString("Lumdex", "AcceptedCompression", "0", "Lumdex.ini"));
  EXPECT_EQ(test::readText(ini()), "; mine\n[Other]\nk=v\n[Lumdex]\r\nAcceptedCompression=0\r\n");
}

TEST_F(ProfileFile, WriteIntoUnwritableFolderFailsAndKeepsFile) {
  test::writeText(ini(), "[Lumdex]\nSyncDir=keep\n");
  test::ScopedEnv missing{"LUMORA_WINDOWS_DIR", "/proc/lumora-no-such-folder"};
  EXPECT_FALSE(writeString("Lumdex", "SyncDir", "x", "Lumdex.ini"));
  EXPECT_EQ(test::readText(ini()), "[Lumdex]\nSyncDir=keep\n");
}

TEST_F(ProfileFile, NameWithFolderIsAPath) {
  test::writeText(dir.file("other.ini"), "[S]\nK=v\n");
  char buf[16];
  EXPECT_EQ(getString("S", "K", "", buf, sizeof buf, dir.file("other.ini")), 1u);
  EXPECT_STREQ(buf, "v");
}

}  // namespace
}  // namespace lumora::profile
