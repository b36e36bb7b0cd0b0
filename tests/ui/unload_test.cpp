// The conduit library leaves the process when the host unloads it, although it brings
// FLTK along (which stays): nothing of FLTK's may bind to the conduit.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/support/temp_dir.h"

namespace {

TEST(ConduitLibrary, UnloadsCompletely) {
  const std::string library = std::string(LUMORA_BINARY_DIR) + "/bin/liblumsync.so";
  if (!std::filesystem::exists(library)) GTEST_SKIP() << "liblumsync.so not built";
  lumora::test::TempDir dir;
  lumora::test::ScopedEnv windows{"LUMORA_WINDOWS_DIR", dir.path()};
  for (int round = 0; round < 2; ++round) {
    void* handle = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr) << dlerror();
    ASSERT_EQ(dlclose(handle), 0);
    EXPECT_EQ(dlopen(library.c_str(), RTLD_NOW | RTLD_NOLOAD), nullptr) << "round " << round;
  }
}

}  // namespace
