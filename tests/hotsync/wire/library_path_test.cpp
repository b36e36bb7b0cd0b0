#include <gtest/gtest.h>

#include "hotsync/session/library_path.h"

namespace lumora::host {
namespace {

// Where lumora-hotsync looks for the conduit: the search list first, then beside itself,
// then the library folders of an installation around it, each folder once.
TEST(LibrarySearchFolders, OrderOfTheFoldersLookedIn) {
  struct Case {
    const char* name;
    const char* searchList;
    InstallLayout layout;
    std::vector<std::string> folders;
  };
  const Case cases[] = {
      {"build folder", nullptr, {"", "lib"}, {"/p/bin", "/p/bin/../lib"}},
      {"multiarch",
       nullptr,
       {"x86_64-linux-gnu", "lib/x86_64-linux-gnu"},
       {"/p/bin", "/p/bin/../lib", "/p/bin/../lib/x86_64-linux-gnu"}},
      {"lib64", nullptr, {"", "lib64"}, {"/p/bin", "/p/bin/../lib", "/p/bin/../lib64"}},
      {"multiarch and lib64",
       nullptr,
       {"aarch64-linux-gnu", "lib64"},
       {"/p/bin", "/p/bin/../lib", "/p/bin/../lib/aarch64-linux-gnu", "/p/bin/../lib64"}},
      {"absolute libdir is not relative to the program",
       nullptr,
       {"", "/opt/lib"},
       {"/p/bin", "/p/bin/../lib"}},
      {"search list first, empty entries dropped",
       "/a::/b:",
       {"x86_64-linux-gnu", "lib"},
       {"/a", "/b", "/p/bin", "/p/bin/../lib", "/p/bin/../lib/x86_64-linux-gnu"}},
      {"a folder of the search list is not looked in twice",
       "/p/bin",
       {"", "lib"},
       {"/p/bin", "/p/bin/../lib"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(librarySearchFolders(c.searchList, ':', "/p/bin", c.layout), c.folders);
  }
}

}  // namespace
}  // namespace lumora::host
