#include "platform/registry/font_values.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <vector>

namespace lumora::registry {
namespace {

using namespace std::string_literals;

// A key whose value may change between calls: sizes[i] is the value's length at call i.
class ScriptedKey final : public Key {
 public:
  std::vector<std::string> answers;  // the value at each call; the last one stays
  uint32_t type = kRegSz;
  int32_t sizeQueryError = kErrorSuccess;
  int calls = 0;

  int32_t queryValue(std::string_view, uint32_t* t, uint8_t* data, uint32_t* size) override {
    const std::string& v = answers[std::min<size_t>(calls++, answers.size() - 1)];
    *t = type;
    if (!data) {
      *size = static_cast<uint32_t>(v.size());
      return sizeQueryError;
    }
    if (*size < v.size()) {
      *size = static_cast<uint32_t>(v.size());
      return kErrorMoreData;
    }
    std::memcpy(data, v.data(), v.size());
    *size = static_cast<uint32_t>(v.size());
    return kErrorSuccess;
  }
};

TEST(FontValues, KeyByPlatform) {
  EXPECT_EQ(fontKeyPath(kPlatformWin32Nt),
            "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts");
  EXPECT_EQ(fontKeyPath(kPlatformWin32Windows),
            "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Fonts");
  EXPECT_EQ(fontKeyPath(0), "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Fonts");
}

TEST(FontValues, ValueName) {
  EXPECT_EQ(fontValueName("Arial", " Bold Italic"), "Arial Bold Italic (TrueType)");
  EXPECT_EQ(fontValueName("Times New Roman", ""), "Times New Roman (TrueType)");
}

TEST(FontValues, ReadValueText) {
  struct Case {
    const char* label;
    std::vector<std::string> answers;
    int32_t error;
    std::string text;
    int calls;
  } cases[] = {
      {"plain", {"arial.ttf\0"s}, kErrorSuccess, "arial.ttf", 2},
      {"stops_at_zero", {"a.ttf\0junk\0"s}, kErrorSuccess, "a.ttf", 2},
      {"no_terminator", {"b.ttf"}, kErrorSuccess, "b.ttf", 2},
      {"empty", {""}, kErrorSuccess, "", 2},
      {"grows_once", {"s\0"s, "a-longer-name.ttf\0"s}, kErrorSuccess, "a-longer-name.ttf", 3},
      {"grows_twice",
       {"s\0"s, "longer\0"s, "longer still\0"s, "longer still\0"s},
       kErrorSuccess,
       "longer still",
       4},
  };
  for (const auto& c : cases) {
    ScriptedKey key;
    key.answers = c.answers;
    ValueText v = readValueText(key, "x");
    EXPECT_EQ(v.error, c.error) << c.label;
    EXPECT_EQ(v.text, c.text) << c.label;
    EXPECT_EQ(v.type, kRegSz) << c.label;
    EXPECT_EQ(key.calls, c.calls) << c.label;
  }
}

TEST(FontValues, ReadValueTextGivesUpOnAValueThatNeverSettles) {
  ScriptedKey key;
  for (int i = 1; i < 100; ++i) key.answers.push_back(std::string(i, 'x'));
  ValueText v = readValueText(key, "x");
  EXPECT_EQ(v.error, kErrorMoreData);
  EXPECT_LT(key.calls, 40);
}

TEST(FontValues, ReadValueTextPassesTheTypeAndErrors) {
  ScriptedKey key;
  key.answers = {"%WINDIR%\\x.ttf\0"s};
  key.type = kRegExpandSz;
  ValueText v = readValueText(key, "x");
  EXPECT_EQ(v.type, kRegExpandSz);
  EXPECT_EQ(v.text, "%WINDIR%\\x.ttf");

  ScriptedKey missing;
  missing.answers = {""};
  missing.sizeQueryError = kErrorFileNotFound;
  EXPECT_EQ(readValueText(missing, "x").error, kErrorFileNotFound);
  EXPECT_EQ(missing.calls, 1);
}

class FolderRegistry final : public Registry {
 public:
  std::string folder;
  std::vector<uint32_t> sizesAsked;
  uint32_t growBy = 0;  // the folder grows by this much after each call
  bool failing = false;

  OpenedKey openLocalMachineKey(std::string_view) override { return {kErrorFileNotFound, nullptr}; }
  int32_t platformId(uint32_t& id) override {
    id = kPlatformWin32Nt;
    return 0;
  }
  uint32_t windowsDirectory(char* buffer, uint32_t size) override {
    sizesAsked.push_back(size);
    if (failing) return 0;
    std::string now = folder;
    folder += std::string(growBy, 'g');
    if (size <= now.size()) return static_cast<uint32_t>(now.size() + 1);
    std::memcpy(buffer, now.c_str(), now.size() + 1);
    return static_cast<uint32_t>(now.size());
  }
  int32_t lastError() override { return 3; }
};

TEST(FontValues, WindowsFolderAsksAgainWithTheSizeNeeded) {
  FolderRegistry r;
  r.folder = "C:\\WINDOWS";
  EXPECT_EQ(windowsFolder(r).path, "C:\\WINDOWS");
  EXPECT_EQ(r.sizesAsked, std::vector<uint32_t>{260});

  FolderRegistry deep;
  deep.folder = "C:\\" + std::string(300, 'w');
  WindowsFolder got = windowsFolder(deep);
  EXPECT_EQ(got.path, deep.folder);
  EXPECT_EQ(deep.sizesAsked, (std::vector<uint32_t>{260, 304}));

  FolderRegistry growing;
  growing.folder = "C:\\" + std::string(300, 'w');
  growing.growBy = 5;
  EXPECT_TRUE(windowsFolder(growing).tooLong);

  FolderRegistry failing;
  failing.failing = true;
  EXPECT_EQ(windowsFolder(failing).error, 3);
}

TEST(FontValues, FullPathsAndTheFontsFolder) {
  struct Case {
    std::string_view text;
    bool full;
  } cases[] = {{"arial.ttf", false},
               {"C:\\Users\\u\\AppData\\Local\\Microsoft\\Windows\\Fonts\\x.ttf", true},
               {"d:/fonts/x.ttf", true},
               {"\\\\server\\share\\x.ttf", true},
               {"/usr/share/fonts/x.ttf", true},
               {"C:x.ttf", false},
               {"sub\\x.ttf", false},
               {"", false}};
  for (auto c : cases) EXPECT_EQ(isFullPath(c.text), c.full) << c.text;

  EXPECT_EQ(fontsFolderOf("C:\\WINDOWS") + "arial.ttf", "C:\\WINDOWS\\Fonts\\arial.ttf");
  EXPECT_EQ(fontsFolderOf("C:\\"), "C:\\Fonts\\");
  EXPECT_EQ(fontsFolderOf("/home/u/.config/lumora"), "/home/u/.config/lumora/Fonts/");
}

}  // namespace
}  // namespace lumora::registry
