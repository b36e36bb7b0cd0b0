// The stand-in's install queue takes Windows paths: the queued file keeps its base name.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "hotsync/api/hotsync.h"
#include "tests/support/temp_dir.h"

namespace lumora {
namespace {

TEST(InstallQueue, AWindowsPathQueuesItsBaseName) {
  test::TempDir dir;
  test::ScopedEnv windows("LUMORA_WINDOWS_DIR", dir.path());
  const struct {
    const char* folder;  // below the temporary folder
    const char* name;
  } cases[] = {{"\\src", "Font.pdb"}, {"\\src\\deeper", "Other.pdb"}, {"/mixed", "Mixed.pdb"}};
  test::writeText(dir.path() + "\\placeholder", "");
  for (const auto& c : cases) {
    std::string folder = dir.path() + c.folder;
    CreateDirectoryA((dir.path() + "\\src").c_str(), nullptr);
    CreateDirectoryA(folder.c_str(), nullptr);
    std::string source = folder + "\\" + c.name;
    test::writeText(source, c.name);
    std::string user = "Demo";
    EXPECT_EQ(PltInstallFile(user.data(), source.data()), 0) << source;
    EXPECT_EQ(test::readText(dir.path() + "/HotSync/Demo/Install/" + c.name), c.name) << source;
  }
}

}  // namespace
}  // namespace lumora
