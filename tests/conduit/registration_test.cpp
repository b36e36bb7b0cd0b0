#include <gtest/gtest.h>

#include <string>

#include "conduit/exports.h"
#include "hotsync/api/hotsync_host.h"
#include "tests/support/temp_dir.h"

namespace lumora::conduit {
namespace {

class Registration : public ::testing::Test {
 protected:
  test::TempDir windows;
  test::ScopedEnv env{"LUMORA_WINDOWS_DIR", windows.path()};
  void SetUp() override { HsResetFaults(); }
  void TearDown() override { HsResetFaults(); }
  std::string value(const char* field) {
    char buf[260] = {};
    if (CmGetConduitValue("LmDx", field, buf, sizeof buf) != 0) return "<none>";
    return buf;
  }
};

TEST_F(Registration, RegistersLibraryDirectoryAndTitle) {
  EXPECT_EQ(DllRegisterServer(), 1);
  EXPECT_EQ(value("library"), "lumsync.dll");
  EXPECT_EQ(value("directory"), "Lumdir");
  EXPECT_EQ(value("title"), "Lumora 2004");
}

TEST_F(Registration, AlreadyRegisteredIsReplaced) {
  ASSERT_EQ(CmInstallCreator("LmDx", 1), 0);
  ASSERT_EQ(CmSetCreatorName("LmDx", "old.dll"), 0);
  EXPECT_EQ(DllRegisterServer(), 1);
  EXPECT_EQ(value("library"), "lumsync.dll");
}

TEST_F(Registration, UnregisterRemovesAndCountsMissingAsDone) {
  ASSERT_EQ(DllRegisterServer(), 1);
  EXPECT_EQ(DllUnregisterServer(), 1);
  EXPECT_EQ(value("library"), "<none>");
  EXPECT_EQ(DllUnregisterServer(), 1);
}

TEST_F(Registration, StopsAtFirstFailingStepAndKeepsEarlierSteps) {
  struct {
    const char* op;
    const char* library;
    const char* directory;
  } cases[] = {
      {"CmInstallCreator", "<none>", "<none>"},
      {"CmSetCreatorName", "", ""},
      {"CmSetCreatorDirectory", "lumsync.dll", ""},
      {"CmSetCreatorTitle", "lumsync.dll", "Lumdir"},
  };
  for (const auto& c : cases) {
    DllUnregisterServer();
    HsResetFaults();
    HsInjectFault(c.op, 1, -1, 0);
    EXPECT_EQ(DllRegisterServer(), 0) << c.op;
    HsResetFaults();
    std::string lib = value("library"), dir = value("directory");
    EXPECT_EQ(lib, c.library) << c.op;
    EXPECT_EQ(dir, c.directory) << c.op;
  }
}

TEST_F(Registration, UnregisterFailsOnlyForResultsAboveOne) {
  HsInjectFault("CmRemoveConduitByCreatorID", 1, 2, 0);
  EXPECT_EQ(DllUnregisterServer(), 0);
  HsInjectFault("CmRemoveConduitByCreatorID", 1, 1, 0);
  EXPECT_EQ(DllUnregisterServer(), 1);
  HsInjectFault("CmRemoveConduitByCreatorID", 1, -1006, 0);
  EXPECT_EQ(DllUnregisterServer(), 1);
}

}  // namespace
}  // namespace lumora::conduit
