#include "fonts/conduit_converter.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "fonts/font_database.h"
#include "tests/fonts/font_test_support.h"
#include "tests/support/temp_dir.h"

namespace lumora::fonts::conduit {
namespace {

using test::QueueRecorder;

ui::Window const kOwner = reinterpret_cast<ui::Window>(0x1234);

// Runs in a fresh current directory, where the converter writes its output.
class ConduitConverter : public testing::Test {
 protected:
  void SetUp() override {
    QueueRecorder::reset();
    previousDir_ = std::filesystem::current_path();
    std::filesystem::create_directory(dir_.file("cwd"));
    std::filesystem::current_path(dir_.file("cwd"));
  }
  void TearDown() override { std::filesystem::current_path(previousDir_); }

  std::string font(const std::string& name, size_t size) {
    std::string path = dir_.file(name);
    test::writeFile(path, test::fontBytes(size));
    return path;
  }
  std::vector<std::string> leftInCwd() { return test::entriesOf(dir_.file("cwd")); }

  test::TempDir dir_;
  test::ScriptedToolkit toolkit_;
  test::ScopedToolkit scoped_{toolkit_};
  std::filesystem::path previousDir_;
};

TEST_F(ConduitConverter, QueuesTheTitleDotPdbFromTheCurrentDirectoryAndDeletesIt) {
  const std::string path = font("Serif.ttf", 10000);
  EXPECT_TRUE(convertAndQueueFont(path, "Ann", kOwner, &QueueRecorder::queue));
  ASSERT_EQ(QueueRecorder::calls.size(), 1u);
  const auto& call = QueueRecorder::calls[0];
  EXPECT_EQ(call.user, "Ann");
  EXPECT_EQ(call.path, "Serif.ttf.pdb");
  ASSERT_TRUE(call.bytes);
  auto db = test::parseDatabase(*call.bytes);
  ASSERT_TRUE(db);
  EXPECT_EQ(db->name, "Serif.ttf");
  EXPECT_EQ(db->count, 3);
  EXPECT_TRUE(toolkit_.boxes.empty());
  EXPECT_TRUE(leftInCwd().empty());
}

TEST_F(ConduitConverter, LongTitlesNameTheDatabaseByTheirFirst28Characters) {
  const std::string path = font("A Very Long Font Family Name Regular.ttf", 100);
  EXPECT_TRUE(convertAndQueueFont(path, "Ann", kOwner, &QueueRecorder::queue));
  ASSERT_EQ(QueueRecorder::calls.size(), 1u);
  EXPECT_EQ(QueueRecorder::calls[0].path, "A Very Long Font Family Name Regular.ttf.pdb");
  EXPECT_EQ(test::parseDatabase(*QueueRecorder::calls[0].bytes)->name,
            "A Very Long Font Family Name.ttf");
}

TEST_F(ConduitConverter, TitlesBeyondTheTitleBufferAreCut) {
  const std::string longName = std::string(120, 'L') + ".ttf";
  const std::string path = font(longName, 100);
  EXPECT_TRUE(convertAndQueueFont(path, "Ann", kOwner, &QueueRecorder::queue));
  ASSERT_EQ(QueueRecorder::calls.size(), 1u);
  EXPECT_EQ(QueueRecorder::calls[0].path, std::string(99, 'L') + ".pdb");
  EXPECT_EQ(test::parseDatabase(*QueueRecorder::calls[0].bytes)->name,
            std::string(28, 'L') + ".ttf");
  EXPECT_TRUE(leftInCwd().empty());
}

struct FailureCase {
  const char* label;
  void (*arrange)(test::FaultyFileSystem&);
  const char* text;  // with %F for the font path and %O for the output name
  const char* caption;
};

class ConduitFailures : public ConduitConverter, public testing::WithParamInterface<FailureCase> {};

std::string expand(std::string text, const std::string& fontPath, const std::string& output) {
  for (auto [mark, value] : {std::pair{"%F", fontPath}, std::pair{"%O", output}}) {
    auto at = text.find(mark);
    if (at != std::string::npos) text.replace(at, 2, value);
  }
  return text;
}

TEST_P(ConduitFailures, ShowOneBoxQueueNothingAndLeaveNothing) {
  const FailureCase& c = GetParam();
  const std::string path = font("Mono.ttf", 5 * 4096 * 16 + 5);
  test::FaultyFileSystem fs;
  c.arrange(fs);
  test::ScopedFileSystem scoped(fs);
  EXPECT_FALSE(convertAndQueueFont(path, "Ann", kOwner, &QueueRecorder::queue));
  ASSERT_EQ(toolkit_.boxes.size(), 1u);
  EXPECT_EQ(toolkit_.boxes[0].text, expand(c.text, path, "Mono.ttf.pdb"));
  EXPECT_EQ(toolkit_.boxes[0].caption, c.caption);
  EXPECT_EQ(toolkit_.boxes[0].owner, kOwner);
  EXPECT_EQ(toolkit_.boxes[0].flags, ui::kMbOk);
  EXPECT_TRUE(QueueRecorder::calls.empty());
  EXPECT_TRUE(leftInCwd().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Faults, ConduitFailures,
    testing::Values(FailureCase{"missing", [](auto& fs) { fs.failOpen = true; },
                                "File \"%F\" does not exists!", "Not Existing"},
                    FailureCase{"create", [](auto& fs) { fs.failCreate = true; },
                                "Cannot create file \"%O\"", "Cannot create"},
                    FailureCase{"read_error", [](auto& fs) { fs.failReadAt = 2; },
                                "Cannot read file \"%F\"", "Cannot read"},
                    FailureCase{"short_read", [](auto& fs) { fs.shortReadAt = 3; },
                                "Cannot read file \"%F\"", "Cannot read"},
                    FailureCase{"header_write", [](auto& fs) { fs.failWriteAt = 1; },
                                "Cannot write file \"%O\"", "Cannot write"},
                    FailureCase{"block_write", [](auto& fs) { fs.failWriteAt = 4; },
                                "Cannot write file \"%O\"", "Cannot write"},
                    FailureCase{"commit", [](auto& fs) { fs.failCommit = true; },
                                "Cannot write file \"%O\"", "Cannot write"},
                    FailureCase{"too_large",
                                [](auto& fs) { fs.reportedSize = kConduitMaxFontSize + 1; },
                                "File \"%F\" is too large for a font database!", "Too large"}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(ConduitConverter, MissingFontNamesThePathAsGiven) {
  EXPECT_FALSE(convertAndQueueFont("C:\\nowhere\\gone.ttf", "Ann", kOwner, &QueueRecorder::queue));
  ASSERT_EQ(toolkit_.boxes.size(), 1u);
  EXPECT_EQ(toolkit_.boxes[0].text, "File \"C:\\nowhere\\gone.ttf\" does not exists!");
  EXPECT_EQ(toolkit_.boxes[0].caption, "Not Existing");
}

TEST_F(ConduitConverter, ARefusingInstallAideIsReportedAndTheFileStillDeleted) {
  const std::string path = font("Sans.ttf", 300);
  QueueRecorder::result = -1;
  EXPECT_FALSE(convertAndQueueFont(path, "Ann", kOwner, &QueueRecorder::queue));
  EXPECT_EQ(QueueRecorder::calls.size(), 1u);
  ASSERT_EQ(toolkit_.boxes.size(), 1u);
  EXPECT_EQ(toolkit_.boxes[0].text, "Cannot queue file \"Sans.ttf.pdb\" for installation");
  EXPECT_TRUE(leftInCwd().empty());
}

TEST_F(ConduitConverter, ReplacesAStaleOutputOfTheSameName) {
  test::writeText(dir_.file("cwd/Sans.ttf.pdb"), "stale");
  const std::string path = font("Sans.ttf", 300);
  EXPECT_TRUE(convertAndQueueFont(path, "Ann", kOwner, &QueueRecorder::queue));
  EXPECT_EQ(QueueRecorder::calls[0].bytes->size(), 78u + 8 + 8 + 300);
}

TEST_F(ConduitConverter, WriteDatabaseCommitsOnlyComplete) {
  const std::string path = font("Serif.ttf", 8192);
  EXPECT_TRUE(writeDatabase(path, dir_.file("out.pdb"), kOwner));
  auto db = test::parseDatabase(test::readFile(dir_.file("out.pdb")));
  ASSERT_TRUE(db);
  EXPECT_EQ(db->name, "Serif.ttf");
  EXPECT_EQ(db->count, 3);

  test::FaultyFileSystem fs;
  fs.failWriteAt = 2;
  test::ScopedFileSystem scoped(fs);
  EXPECT_FALSE(writeDatabase(path, dir_.file("other.pdb"), kOwner));
  EXPECT_FALSE(test::fileExists(dir_.file("other.pdb")));
}

}  // namespace
}  // namespace lumora::fonts::conduit
