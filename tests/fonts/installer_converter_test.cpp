#include "fonts/installer_converter.h"

#include <gtest/gtest.h>

#include <filesystem>

#ifdef _WIN32
#include <windows.h>
#endif

#include "fonts/font_database.h"
#include "tests/fonts/font_test_support.h"
#include "tests/support/temp_dir.h"

namespace lumora::fonts::installer {
namespace {

using test::QueueRecorder;

class InstallerConverter : public testing::Test {
 protected:
  void SetUp() override {
    QueueRecorder::reset();
    std::filesystem::create_directory(tmp_);
  }
  std::string font(const std::string& name, size_t size) {
    std::filesystem::create_directories(dir_.file("fonts"));
    std::string path = dir_.file("fonts/" + name);
    test::writeFile(path, test::fontBytes(size));
    return path;
  }
  std::vector<std::string> leftInTemp() { return test::entriesOf(tmp_); }

  test::TempDir dir_;
  std::string tmp_ = dir_.file("tmp");
  test::ScopedEnv tmpdir_{"TMPDIR", tmp_};
};

TEST_F(InstallerConverter, QueuesFromTheTemporaryFolderAndDeletes) {
  const std::string path = font("arial.ttf", 10000);
  Status s = convertAndQueueFont(path, "Bob", &QueueRecorder::queue);
  EXPECT_TRUE(s.ok()) << s.reason;
  ASSERT_EQ(QueueRecorder::calls.size(), 1u);
  EXPECT_EQ(QueueRecorder::calls[0].user, "Bob");
  EXPECT_EQ(QueueRecorder::calls[0].path, tmp_ + "/arial.ttf.pdb");
  auto db = test::parseDatabase(*QueueRecorder::calls[0].bytes);
  ASSERT_TRUE(db);
  EXPECT_EQ(db->name, "arial.ttf");
  EXPECT_EQ(db->count, 3);
  EXPECT_TRUE(leftInTemp().empty());
}

TEST_F(InstallerConverter, EmptyFontGivesAHeaderOnly) {
  const std::string path = font("empty.ttf", 0);
  EXPECT_TRUE(convertAndQueueFont(path, "Bob", &QueueRecorder::queue).ok());
  ASSERT_EQ(QueueRecorder::calls.size(), 1u);
  EXPECT_EQ(QueueRecorder::calls[0].bytes->size(), 78u);
}

TEST_F(InstallerConverter, ABaseNameOf33CharactersIsStoredCutTo32) {
  const std::string name = std::string(29, 'n') + ".ttf";  // 33 characters
  EXPECT_TRUE(convertAndQueueFont(font(name, 10), "Bob", &QueueRecorder::queue).ok());
  ASSERT_EQ(QueueRecorder::calls.size(), 1u);
  const Bytes& file = *QueueRecorder::calls[0].bytes;
  EXPECT_EQ(std::string(file.begin(), file.begin() + 32), name.substr(0, 32));
  EXPECT_EQ(QueueRecorder::calls[0].path, tmp_ + "/" + name + ".pdb");
}

struct FailureCase {
  const char* label;
  const char* fontName;
  void (*arrange)(test::FaultyFileSystem&);
  int32_t queueResult;
  uint32_t code;
  bool queued;
};

class InstallerFailures : public InstallerConverter,
                          public testing::WithParamInterface<FailureCase> {};

TEST_P(InstallerFailures, CarryTheirCodeAndLeaveNothing) {
  const FailureCase& c = GetParam();
  const std::string path = font(c.fontName, 4096 * 40 + 1);
  test::FaultyFileSystem fs;
  c.arrange(fs);
  test::ScopedFileSystem scoped(fs);
  QueueRecorder::result = c.queueResult;
  Status s = convertAndQueueFont(path, "Bob", &QueueRecorder::queue);
  EXPECT_EQ(static_cast<uint32_t>(s.code), c.code) << s.reason;
  EXPECT_FALSE(s.reason.empty());
  EXPECT_EQ(QueueRecorder::calls.size(), c.queued ? 1u : 0u);
  EXPECT_TRUE(leftInTemp().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Faults, InstallerFailures,
    testing::Values(
        FailureCase{"missing", "a.ttf", [](auto& fs) { fs.failOpen = true; }, 0, 0x80070002, false},
        FailureCase{"create", "a.ttf", [](auto& fs) { fs.failCreate = true; }, 0, 0x80070005,
                    false},
        FailureCase{"name_34", "abcdefghijklmnopqrstuvwxyz1234.ttf", [](auto&) {}, 0, 0x8000FFFF,
                    false},
        FailureCase{"four_gib", "a.ttf", [](auto& fs) { fs.reportedSize = 1ull << 32; }, 0,
                    0x8000FFFF, false},
        FailureCase{"record_count", "a.ttf",
                    [](auto& fs) { fs.reportedSize = kInstallerMaxFontSize + 1; }, 0, 0x8000FFFF,
                    false},
        FailureCase{"read_error", "a.ttf", [](auto& fs) { fs.failReadAt = 2; }, 0, 0x8007001E,
                    false},
        FailureCase{"short_read", "a.ttf", [](auto& fs) { fs.shortReadAt = 3; }, 0, 0x8000FFFF,
                    false},
        FailureCase{"write", "a.ttf", [](auto& fs) { fs.failWriteAt = 2; }, 0, 0x8007001D, false},
        FailureCase{"commit", "a.ttf", [](auto& fs) { fs.failCommit = true; }, 0, 0x8007001D,
                    false},
        FailureCase{"aide_positive", "a.ttf", [](auto&) {}, 7, 7, true},
        FailureCase{"aide_negative", "a.ttf", [](auto&) {}, -3, 0xFFFFFFFD, true}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(InstallerConverter, AMissingFontGivesTheHresultOfFileNotFound) {
  std::filesystem::create_directories(dir_.file("fonts"));
  Status s = convertAndQueueFont(dir_.file("fonts/none.ttf"), "Bob", &QueueRecorder::queue);
  EXPECT_EQ(static_cast<uint32_t>(s.code), 0x80070002u);
  EXPECT_NE(s.reason.find("none.ttf"), std::string::npos);
  EXPECT_TRUE(leftInTemp().empty());
}

// A failed open or create carries the host's reason: 0x80070000 with the Windows error.
TEST_F(InstallerConverter, OpenAndCreateFailuresCarryTheHostsReason) {
  const std::string path = font("a.ttf", 100);
  const std::string out = dir_.file("a.pdb");
  struct Case {
    const char* what;
    std::string font, output;
    uint32_t code;
  };
  const Case cases[] = {
      {"missing font", dir_.file("fonts/none.ttf"), out, 0x80070002},
      {"missing font folder", dir_.file("none/a.ttf"), out, 0x80070003},
      {"font is a folder", dir_.file("fonts"), out, 0x80070005},
      {"missing output folder", path, dir_.file("none/a.pdb"), 0x80070003},
      {"output is a folder", path, dir_.file("fonts"), 0x80070005},
  };
  for (const Case& c : cases) {
    Status s = writeDatabase(c.font, c.output);
    EXPECT_EQ(static_cast<uint32_t>(s.code), c.code) << c.what << ": " << s.reason;
  }
  EXPECT_FALSE(test::fileExists(out));
}

#ifdef _WIN32
// Windows keeps installed fonts open for reading: such a font is still converted; one held
// without sharing reports the sharing violation.
TEST_F(InstallerConverter, AFontOpenElsewhereForReadingIsConverted) {
  const std::string path = font("held.ttf", 1000);
  HANDLE reader = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  Status s = writeDatabase(path, dir_.file("held.pdb"));
  ::CloseHandle(reader);
  EXPECT_TRUE(s.ok()) << s.reason;

  HANDLE exclusive = ::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(exclusive, INVALID_HANDLE_VALUE);
  s = writeDatabase(path, dir_.file("held2.pdb"));
  ::CloseHandle(exclusive);
  EXPECT_EQ(static_cast<uint32_t>(s.code), 0x80070020u) << s.reason;
  EXPECT_FALSE(test::fileExists(dir_.file("held2.pdb")));
}
#endif

TEST_F(InstallerConverter, AnUnrelatedFileInTheTemporaryFolderSurvivesAFailure) {
  test::writeText(tmp_ + "/gone.ttf.pdb", "keep");
  Status s = convertAndQueueFont(dir_.file("fonts/gone.ttf"), "Bob", &QueueRecorder::queue);
  EXPECT_FALSE(s.ok());
  EXPECT_EQ(test::readText(tmp_ + "/gone.ttf.pdb"), "keep");
}

TEST_F(InstallerConverter, WriteDatabaseNamesItByTheBaseName) {
  const std::string path = font("Times.ttf", 8192);
  EXPECT_TRUE(writeDatabase(path, dir_.file("out.pdb")).ok());
  auto db = test::parseDatabase(test::readFile(dir_.file("out.pdb")));
  ASSERT_TRUE(db);
  EXPECT_EQ(db->name, "Times.ttf");
  EXPECT_EQ(db->count, 2);
}

}  // namespace
}  // namespace lumora::fonts::installer
