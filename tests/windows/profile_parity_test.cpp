// The ini reader behind the Linux profile functions and the Windows profile functions
// themselves (here Wine's) must give the same answers on the same files.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/profile/ini.h"
#include "platform/profile/profile.h"
#include "tests/support/temp_dir.h"

namespace lumora {
namespace {

struct Case {
  const char* what;
  const char* text;
  const char* section;
  const char* key;
};

const Case kCases[] = {
    {"plain", "[Lumdex]\r\nSyncDir=C:\\Pics\r\n", "Lumdex", "SyncDir"},
    {"names ignore case", "[LUMDEX]\r\nsyncdir=C:\\Pics\r\n", "lumdex", "SyncDir"},
    {"blanks around", "[ Lumdex ]\r\n  SyncDir  =  C:\\Pics  \r\n", "Lumdex", "SyncDir"},
    {"quoted value", "[Lumdex]\r\nSyncDir=\"C:\\My Pics\"\r\n", "Lumdex", "SyncDir"},
    {"one quote only", "[Lumdex]\r\nSyncDir=\"C:\\Pics\r\n", "Lumdex", "SyncDir"},
    {"empty value", "[Lumdex]\r\nSyncDir=\r\n", "Lumdex", "SyncDir"},
    {"missing key", "[Lumdex]\r\nOther=1\r\n", "Lumdex", "SyncDir"},
    {"missing section", "[Other]\r\nSyncDir=x\r\n", "Lumdex", "SyncDir"},
    {"first of two keys", "[Lumdex]\r\nSyncDir=a\r\nSyncDir=b\r\n", "Lumdex", "SyncDir"},
    {"unix line ends", "[Lumdex]\nSyncDir=C:\\Pics\n", "Lumdex", "SyncDir"},
    {"no final line end", "[Lumdex]\r\nSyncDir=C:\\Pics", "Lumdex", "SyncDir"},
    {"equals in value", "[Lumdex]\r\nSyncDir=a=b\r\n", "Lumdex", "SyncDir"},
    {"number", "[Lumdex]\r\nBits=16\r\n", "Lumdex", "Bits"},
    {"negative number", "[Lumdex]\r\nBits=-5\r\n", "Lumdex", "Bits"},
    {"digits then text", "[Lumdex]\r\nBits=12abc\r\n", "Lumdex", "Bits"},
    {"no digits", "[Lumdex]\r\nBits=abc\r\n", "Lumdex", "Bits"},
};

class ProfileParity : public ::testing::Test {
 protected:
  std::string write(const char* text) {
    std::string path = dir_.path() + "\\case.ini";
    test::writeText(path, text);
    return path;
  }
  test::TempDir dir_;
};

TEST_F(ProfileParity, StringsAndNumbersAgree) {
  for (const Case& c : kCases) {
    std::string path = write(c.text);
    char windows[260] = {};
    DWORD n = ::GetPrivateProfileStringA(c.section, c.key, "fallback", windows, sizeof windows,
                                         path.c_str());
    std::string portable = ini::lookup(c.text, c.section, c.key).value_or("fallback");
    EXPECT_EQ(std::string(windows, n), portable) << c.what;

    UINT number = ::GetPrivateProfileIntA(c.section, c.key, 7, path.c_str());
    auto value = ini::lookup(c.text, c.section, c.key);
    unsigned portableNumber = value && !value->empty() ? ini::parseInteger(*value) : 7u;
    EXPECT_EQ(number, portableNumber) << c.what;
  }
}

// Windows reads a key only in the first section of a name; the portable reader also finds
// it in a later section of the same name. Kept here until the two agree.
TEST_F(ProfileParity, OnlyTheFirstOfTwoSectionsCountsOnWindows) {
  const char* text = "[Lumdex]\r\nA=1\r\n[Lumdex]\r\nSyncDir=b\r\n";
  std::string path = write(text);
  char windows[64] = {};
  DWORD n = ::GetPrivateProfileStringA("Lumdex", "SyncDir", "fallback", windows, sizeof windows,
                                       path.c_str());
  EXPECT_EQ(std::string(windows, n), "fallback");
  EXPECT_EQ(ini::lookup(text, "Lumdex", "SyncDir"), "b");
}

// The seam on Windows is the system's functions; its truncation matches the portable rule.
TEST_F(ProfileParity, SeamCutsToTheBuffer) {
  std::string path = write("[Lumdex]\r\nSyncDir=C:\\Pictures\r\n");
  const struct {
    size_t capacity;
    const char* expected;
  } cuts[] = {
      {1, ""}, {4, "C:\\"}, {11, "C:\\Picture"}, {12, "C:\\Pictures"}, {64, "C:\\Pictures"}};
  for (const auto& cut : cuts) {
    char buffer[64];
    size_t n = profile::getString("Lumdex", "SyncDir", "", buffer, cut.capacity, path);
    EXPECT_EQ(std::string(buffer, n), cut.expected) << cut.capacity;
  }
}

TEST_F(ProfileParity, SeamWritesAndReadsBack) {
  std::string path = dir_.path() + "\\new\\Lumdex.ini";
  ASSERT_TRUE(profile::writeString("Lumdex", "SyncDir", "D:\\Album", path));
  char buffer[64];
  size_t n = profile::getString("lumdex", "syncdir", "", buffer, sizeof buffer, path);
  EXPECT_EQ(std::string(buffer, n), "D:\\Album");
  EXPECT_EQ(profile::getInt("Lumdex", "Missing", 3, path), 3u);
}

}  // namespace
}  // namespace lumora
