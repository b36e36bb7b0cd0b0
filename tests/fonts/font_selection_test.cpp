#include "fonts/font_selection.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "tests/fonts/font_test_support.h"
#include "tests/support/temp_dir.h"

namespace lumora::fonts {
namespace {

using test::QueueRecorder;
using namespace std::string_literals;

ui::Window const kDialog = reinterpret_cast<ui::Window>(0x77);

std::vector<std::string> walk(const std::string& selection,
                              std::vector<std::string>* tooLong = nullptr) {
  std::vector<std::string> paths;
  walkSelection(
      std::span<const char>(selection.data(), selection.size()),
      [&](const std::string& p) { paths.push_back(p); },
      [&](const std::string& p) {
        if (tooLong) tooLong->push_back(p);
      });
  return paths;
}

TEST(WalkSelection, ExplorerLayouts) {
  struct Case {
    const char* label;
    std::string selection;
    std::vector<std::string> paths;
  } cases[] = {
      {"single", "C:\\fonts\\a.ttf\0\0"s, {"C:\\fonts\\a.ttf"}},
      {"several",
       "C:\\fonts\0b.ttf\0a.ttf\0c.ttf\0\0"s,
       {"C:\\fonts\\b.ttf", "C:\\fonts\\a.ttf", "C:\\fonts\\c.ttf"}},
      {"root", "C:\\\0a.ttf\0b.ttf\0\0"s, {"C:\\a.ttf", "C:\\b.ttf"}},
      {"host_folder",
       "/home/u/fonts\0a.ttf\0b.ttf\0\0"s,
       {"/home/u/fonts/a.ttf", "/home/u/fonts/b.ttf"}},
      {"empty", std::string(10, '\0'), {}},
      {"unterminated", std::string(40, 'x'), {std::string(40, 'x')}},
      {"last_name_unterminated", "C:\\f\0a.ttf\0bb"s, {"C:\\f\\a.ttf", "C:\\f\\bb"}},
  };
  for (const auto& c : cases) EXPECT_EQ(walk(c.selection), c.paths) << c.label;
}

TEST(WalkSelection, PathsBeyondThePathBufferAreSetApart) {
  const std::string folder = "C:\\" + std::string(240, 'd');  // 243 characters
  std::vector<std::string> tooLong;
  auto paths = walk(folder + "\0short.ttf\0a-name-that-is-too-long.ttf\0\0"s, &tooLong);
  EXPECT_EQ(paths, std::vector<std::string>{folder + "\\short.ttf"});
  ASSERT_EQ(tooLong.size(), 1u);
  EXPECT_EQ(tooLong[0], folder + "\\a-name-that-is-too-long.ttf");
}

class PickAndQueueFonts : public testing::Test {
 protected:
  void SetUp() override {
    QueueRecorder::reset();
    std::filesystem::create_directories(dir_.file("win"));
    std::filesystem::create_directories(dir_.file("c/fonts"));
    std::filesystem::create_directories(dir_.file("cwd"));
    previousDir_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_.file("cwd"));
    std::strcpy(fontFolder_, "stale");
  }
  void TearDown() override { std::filesystem::current_path(previousDir_); }

  void addFont(const std::string& name) {
    test::writeFile(dir_.file("c/fonts/" + name), test::fontBytes(5000));
  }
  void pick() { pickAndQueueFonts(kDialog, "Carol", fontFolder_, &QueueRecorder::queue); }
  std::vector<std::string> queuedPaths() {
    std::vector<std::string> out;
    for (const auto& c : QueueRecorder::calls) out.push_back(c.path);
    return out;
  }

  test::TempDir dir_;
  test::ScopedEnv windows_{"LUMORA_WINDOWS_DIR", dir_.file("win")};
  test::ScopedEnv driveC_{"LUMORA_DRIVE_C", dir_.file("c")};
  test::ScriptedToolkit toolkit_;
  test::ScopedToolkit scoped_{toolkit_};
  std::filesystem::path previousDir_;
  char fontFolder_[kPathCapacity];
};

TEST_F(PickAndQueueFonts, AsksTheDialogForTrueTypeFilesFromTheFontFolder) {
  test::writeText(dir_.file("win/Lumdex.ini"), "[Lumdex]\nTTFontDirectory=C:\\fonts\n");
  toolkit_.picked = false;
  pick();
  ASSERT_TRUE(toolkit_.request);
  EXPECT_EQ(toolkit_.request->owner, kDialog);
  EXPECT_EQ(toolkit_.request->fileBufferSize, 3000u);
  EXPECT_EQ(toolkit_.request->flags, 0x80208u);
  EXPECT_EQ(toolkit_.filter, "TTF\0*.TTF\0"s);
  EXPECT_EQ(toolkit_.initialDir, "C:\\fonts");
  EXPECT_TRUE(toolkit_.bufferWasZeroed);
  EXPECT_STREQ(fontFolder_, "C:\\fonts");
}

TEST_F(PickAndQueueFonts, WithoutTheIniKeyTheFolderIsTheDefault) {
  toolkit_.picked = false;
  pick();
  EXPECT_EQ(toolkit_.initialDir, "c:\\program files\\tarnwell\\lumdex");
  EXPECT_STREQ(fontFolder_, "c:\\program files\\tarnwell\\lumdex");
}

TEST_F(PickAndQueueFonts, OneFileIsConvertedByItsFullPath) {
  addFont("one.ttf");
  toolkit_.selection = "C:\\fonts\\one.ttf\0\0"s;
  pick();
  EXPECT_EQ(queuedPaths(), std::vector<std::string>{"one.ttf.pdb"});
  EXPECT_EQ(QueueRecorder::calls[0].user, "Carol");
  EXPECT_TRUE(toolkit_.boxes.empty());
}

TEST_F(PickAndQueueFonts, SeveralFilesInTheirSelectionOrderPastOneThatFails) {
  addFont("b.ttf");
  addFont("c.ttf");
  toolkit_.selection = "C:\\fonts\0b.ttf\0missing.ttf\0c.ttf\0\0"s;
  pick();
  EXPECT_EQ(queuedPaths(), (std::vector<std::string>{"b.ttf.pdb", "c.ttf.pdb"}));
  ASSERT_EQ(toolkit_.boxes.size(), 1u);
  EXPECT_EQ(toolkit_.boxes[0].text, "File \"C:\\fonts\\missing.ttf\" does not exists!");
  EXPECT_EQ(toolkit_.boxes[0].owner, kDialog);
  EXPECT_TRUE(test::entriesOf(dir_.file("cwd")).empty());
}

TEST_F(PickAndQueueFonts, DialogOutcomesWithoutASelection) {
  struct Case {
    const char* label;
    uint32_t error;
    size_t boxes;
  } cases[] = {{"too_many", 0x3003, 1}, {"cancelled", 0, 0}, {"other_error", 0xFFFF, 0}};
  for (const auto& c : cases) {
    toolkit_.boxes.clear();
    toolkit_.picked = false;
    toolkit_.extendedError = c.error;
    toolkit_.selection = "C:\\fonts\\one.ttf\0\0"s;  // whatever the dialog left is ignored
    addFont("one.ttf");
    pick();
    EXPECT_TRUE(QueueRecorder::calls.empty()) << c.label;
    ASSERT_EQ(toolkit_.boxes.size(), c.boxes) << c.label;
    if (c.boxes) {
      EXPECT_EQ(toolkit_.boxes[0].text, "Too many files selected!");
      EXPECT_EQ(toolkit_.boxes[0].caption, "");
      EXPECT_EQ(toolkit_.boxes[0].owner, kDialog);
    }
  }
}

TEST_F(PickAndQueueFonts, ATooLongPathIsReportedAndSkipped) {
  addFont("ok.ttf");
  toolkit_.selection = "C:\\fonts\0ok.ttf\0"s + std::string(260, 'x') + "\0\0"s;
  pick();
  EXPECT_EQ(queuedPaths(), std::vector<std::string>{"ok.ttf.pdb"});
  ASSERT_EQ(toolkit_.boxes.size(), 1u);
  EXPECT_EQ(toolkit_.boxes[0].caption, "Path too long");
}

}  // namespace
}  // namespace lumora::fonts
