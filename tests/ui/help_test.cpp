// The help page opener and the module path it starts from.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/ui/help.h"
#include "platform/ui/module_path.h"
#include "tests/support/temp_dir.h"

namespace lumora::ui {
namespace {

namespace fs = std::filesystem;

TEST(HelpUrl, EncodesThePathAndNamesTheContext) {
  struct Case {
    const char* path;
    uint32_t context;
    const char* url;
  } cases[] = {
      {"/opt/lumora/hotsync.html", 131471, "file:///opt/lumora/hotsync.html#context-131471"},
      {"/a b/c#d?e%f.html", 1, "file:///a%20b/c%23d%3Fe%25f.html#context-1"},
      {"/x/\xC3\xA9.html", 0, "file:///x/%C3%A9.html#context-0"},
      {"/a:b\\c.html", 2, "file:///a%3Ab%5Cc.html#context-2"},
      {"C:\\Program Files\\Lumora\\hotsync.html", 5,
       "file:///C:/Program%20Files/Lumora/hotsync.html#context-5"},
  };
  for (const Case& c : cases) EXPECT_EQ(helpUrl(c.path, c.context), c.url);
}

// A stand-in opener that writes its argument to a file.
class HelpOpener : public ::testing::Test {
 protected:
  void SetUp() override {
    test::writeText(opener, "#!/bin/sh\nprintf '%s' \"$1\" > \"" + dir.file("opened") + "\"\n");
    fs::permissions(opener, fs::perms::owner_all);
  }
  std::string waitForOpened() {
    for (int i = 0; i < 100 && !test::fileExists(dir.file("opened")); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return test::fileExists(dir.file("opened")) ? test::readText(dir.file("opened")) : "";
  }
  test::TempDir dir;
  std::string opener = dir.file("opener");
  test::ScopedEnv env{"LUMORA_HELP_OPENER", opener};
};

TEST_F(HelpOpener, OpensAnExistingPageAtItsAnchor) {
  test::writeText(dir.file("hotsync.html"), "<html></html>");
  EXPECT_TRUE(openHelpPage(dir.file("hotsync.html"), 131471));
  EXPECT_EQ(waitForOpened(), "file://" + dir.file("hotsync.html") + "#context-131471");
}

TEST_F(HelpOpener, DoesNothingWithoutThePage) {
  EXPECT_FALSE(openHelpPage(dir.file("hotsync.html"), 131471));
  EXPECT_FALSE(openHelpPage(dir.path(), 131471));  // a folder is no page
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(test::fileExists(dir.file("opened")));
}

void anchor() {}

TEST(ModuleFileName, NamesTheProgramHoldingTheCode) {
  EXPECT_EQ(moduleFileName(reinterpret_cast<const void*>(&anchor)),
            fs::canonical("/proc/self/exe").string());
  EXPECT_EQ(moduleFileName(nullptr), "");
  int onTheStack = 0;
  EXPECT_EQ(moduleFileName(&onTheStack), "");
}

}  // namespace
}  // namespace lumora::ui
