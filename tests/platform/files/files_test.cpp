#include "platform/files/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "platform/files/paths.h"
#include "tests/support/temp_dir.h"

namespace lumora::files {
namespace {

TEST(Pattern, MatchesLikeWindows) {
  struct {
    const char* name;
    const char* pattern;
    bool match;
  } cases[] = {
      {"Sunset.bmp", "*.bmp", true},
      {"Sunset.BMP", "*.bmp", true},
      {"Sunset.bmpx", "*.bmp", false},
      {"bmp", "*.bmp", false},
      {".bmp", "*.bmp", true},
      {"a.b.bmp", "*.bmp", true},
      {"noext", "*.*", true},
      {".", "*.*", true},
      {"abc", "a?c", true},
      {"abbc", "a?c", false},
      {"abc", "a*b*c", true},
      {"ac", "a*b*c", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(matchesPattern(c.name, c.pattern), c.match) << c.name << " ~ " << c.pattern;
}

TEST(Pattern, NamesSortAsAnNtfsFolderListsThem) {
  std::vector<std::string> names{"b.bmp",  "Z.bmp",  "_x.bmp", "a.bmp", "A.bmp",
                                 "ab.bmp", "a.bmpx", "10.bmp", "9.bmp"};
  sortNames(names);
  // Upper-cased, '_' comes after the letters; names equal but for case keep byte order.
  EXPECT_EQ(names, (std::vector<std::string>{"10.bmp", "9.bmp", "A.bmp", "a.bmp", "a.bmpx",
                                             "ab.bmp", "b.bmp", "Z.bmp", "_x.bmp"}));
}

TEST(Paths, MapWindowsTextOntoHost) {
  test::ScopedEnv c{"LUMORA_DRIVE_C", "/srv/c"};
  EXPECT_EQ(paths::toHostPath("C:\\Lumdex\\a.bmp"), "/srv/c/Lumdex/a.bmp");
  EXPECT_EQ(paths::toHostPath("c:\\"), "/srv/c/");
  EXPECT_EQ(paths::toHostPath("C:"), "/srv/c");
  EXPECT_EQ(paths::toHostPath("D:\\x"), "/srv/drive_d/x");
  EXPECT_EQ(paths::toHostPath("/home/u/sync\\a.bmp"), "/home/u/sync/a.bmp");
  EXPECT_EQ(paths::toHostPath("font.pdb"), "font.pdb");
}

TEST(Paths, WindowsFolderFromEnvironment) {
  test::ScopedEnv w{"LUMORA_WINDOWS_DIR", "/w/"};
  EXPECT_EQ(paths::windowsFolder(), "/w");
  test::ScopedEnv t{"TMPDIR", "/t"};
  EXPECT_EQ(paths::tempFolder(), "/t/");
}

class HostFiles : public ::testing::Test {
 protected:
  test::TempDir dir;
  FileSystem& fs = fileSystem();
  std::vector<std::string> sortedFind(const std::string& pattern) {
    auto names = fs.find(pattern);
    std::sort(names.begin(), names.end());
    return names;
  }
};

TEST_F(HostFiles, FindMatchesCaseInsensitivelyAndSeesDotsForStarDotStar) {
  test::writeText(dir.file("a.bmp"), "x");
  test::writeText(dir.file("B.BMP"), "x");
  test::writeText(dir.file("c.txt"), "x");
  EXPECT_EQ(sortedFind(dir.path() + "\\*.bmp"), (std::vector<std::string>{"B.BMP", "a.bmp"}));
  EXPECT_EQ(sortedFind(dir.path() + "\\*.*").size(), 5u);  // ".", "..", three files
  EXPECT_TRUE(sortedFind(dir.path() + "\\missing\\*.*").empty());
}

TEST_F(HostFiles, FindListsNamesInOrderWhateverOrderTheFolderKeeps) {
  std::vector<std::string> expected;
  for (int i = 0; i < 40; ++i) expected.push_back("Pic " + std::to_string(100 + i) + ".bmp");
  for (size_t i = 0; i < expected.size(); ++i)
    test::writeText(dir.file(expected[(i * 17) % expected.size()]), "x");
  EXPECT_EQ(fs.find(dir.path() + "\\*.bmp"), expected);
}

TEST_F(HostFiles, ExistsForReadOnlyForRegularFiles) {
  test::writeText(dir.file("a.bmp"), "x");
  EXPECT_TRUE(fs.existsForRead(dir.path() + "\\a.bmp"));
  EXPECT_FALSE(fs.existsForRead(dir.path() + "\\b.bmp"));
  EXPECT_FALSE(fs.existsForRead(dir.path()));
}

TEST_F(HostFiles, OutputAppearsOnlyOnCommit) {
  auto out = fs.createOutput(dir.file("new.bmp"), false);
  ASSERT_TRUE(out);
  const uint8_t bytes[] = {1, 2, 3};
  ASSERT_TRUE(out->write(bytes, sizeof bytes));
  EXPECT_FALSE(test::fileExists(dir.file("new.bmp")));
  ASSERT_TRUE(out->commit());
  EXPECT_EQ(test::readFile(dir.file("new.bmp")), (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(sortedFind(dir.path() + "\\*.*").size(), 3u);  // no temporary file left
}

TEST_F(HostFiles, AbandonedOutputLeavesNothingAndKeepsOldFile) {
  test::writeText(dir.file("old.bmp"), "old");
  {
    auto out = fs.createOutput(dir.file("old.bmp"), true);
    ASSERT_TRUE(out);
    const uint8_t b = 9;
    out->write(&b, 1);
  }
  EXPECT_EQ(test::readText(dir.file("old.bmp")), "old");
  EXPECT_EQ(sortedFind(dir.path() + "\\*.*").size(), 3u);
}

TEST_F(HostFiles, WithoutReplaceExistingFileIsNeverTouched) {
  test::writeText(dir.file("x.bmp"), "old");
  EXPECT_EQ(fs.createOutput(dir.file("x.bmp"), false), nullptr);
  auto out = fs.createOutput(dir.file("y.bmp"), false);
  ASSERT_TRUE(out);
  test::writeText(dir.file("y.bmp"), "appeared meanwhile");
  EXPECT_FALSE(out->commit());
  EXPECT_EQ(test::readText(dir.file("y.bmp")), "appeared meanwhile");
}

TEST_F(HostFiles, ReplaceOverwrites) {
  test::writeText(dir.file("x.bmp"), "old");
  auto out = fs.createOutput(dir.file("x.bmp"), true);
  ASSERT_TRUE(out);
  const uint8_t b = 'n';
  ASSERT_TRUE(out->write(&b, 1));
  ASSERT_TRUE(out->commit());
  EXPECT_EQ(test::readText(dir.file("x.bmp")), "n");
}

TEST_F(HostFiles, ReadWholeFileHonoursLimit) {
  test::writeText(dir.file("f"), "12345");
  EXPECT_EQ(readWholeFile(dir.file("f"), 5)->size(), 5u);
  EXPECT_FALSE(readWholeFile(dir.file("f"), 4));
  EXPECT_FALSE(readWholeFile(dir.file("missing"), 100));
}

TEST_F(HostFiles, MakeFoldersCreatesParents) {
  EXPECT_TRUE(fs.makeFolders(dir.file("a/b/c")));
  struct stat st {};
  EXPECT_EQ(::stat(dir.file("a/b/c").c_str(), &st), 0);
}

// Only missing folders are made, from the deepest one that exists; whatever is in the way
// (a file, a link to nowhere) makes it fail.
TEST_F(HostFiles, MakeHostFoldersMakesOnlyWhatIsMissing) {
  test::writeText(dir.file("file"), "x");
  ASSERT_EQ(::mkdir(dir.file("target").c_str(), 0755), 0);
  ASSERT_EQ(::symlink(dir.file("target").c_str(), dir.file("link").c_str()), 0);
  ASSERT_EQ(::symlink(dir.file("nowhere").c_str(), dir.file("dangling").c_str()), 0);
  struct Case {
    const char* path;  // below the test folder
    bool made;
  };
  const Case cases[] = {
      {"", true},                  // exists already
      {"one", true},               // one level
      {"two/levels/deep", true},   // missing parents
      {"two/levels/deep/", true},  // trailing separator
      {"two/levels/other", true},  // beside an existing one
      {"file", false},             // a file in the way
      {"file/below", false},       // a file as a parent
      {"link", true},              // a link to a folder
      {"link/inside", true},       // below one
      {"dangling", false},         // a link to nothing is not replaced
      {"dangling/below", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    const std::string path = dir.file(c.path);
    EXPECT_EQ(makeHostFolders(path), c.made);
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode), c.made);
  }
}

}  // namespace
}  // namespace lumora::files
