#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "common/bytes.h"
#include "conduit/dispatch.h"
#include "conduit/exports.h"
#include "conduit/settings.h"
#include "conduit/transfer_table.h"
#include "tests/conduit/hotsync_fixture.h"

namespace lumora::conduit {
namespace {

// What the dispatch asked the transfers to do, in order.
std::vector<std::string> calls;
bool handheldResult = true;
bool folderThere = true;  // what each handheld-to-desktop transfer reports
int32_t throwOnCall = 0;  // 1-based call number that throws 5; 0 for none

std::string code(uint32_t v) {
  return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}

void maybeThrow() {
  if (throwOnCall != 0 && static_cast<int32_t>(calls.size()) == throwOnCall) throw int32_t{5};
}

bool recordToDesktop(uint32_t type, uint32_t creator, bool overwrite) {
  calls.push_back("desktop " + code(type) + "/" + code(creator) + (overwrite ? " over" : ""));
  maybeThrow();
  return folderThere;
}

bool recordToHandheld(uint32_t creator, bool overwrite) {
  calls.push_back("handheld " + code(creator) + (overwrite ? " over" : ""));
  maybeThrow();
  return handheldResult;
}

class Dispatch : public test::HandheldTest {
 protected:
  Transfers saved = transfers();
  void SetUp() override {
    HandheldTest::SetUp();
    transfers() = {&recordToDesktop, &recordToHandheld};
    calls.clear();
    handheldResult = true;
    folderThere = true;
    throwOnCall = 0;
    createDatabase("TTFonts_DB", fourCC("ttfn"), fourCC("TTFt"));
  }
  void TearDown() override {
    transfers() = saved;
    HandheldTest::TearDown();
  }
  int32_t sync(uint32_t type) {
    uint8_t props[8] = {};
    std::memcpy(props, &type, 4);
    return OpenConduit(nullptr, props);
  }
};

const std::vector<std::string> kFourToDesktop = {"desktop bpmf/SkVa", "desktop bpmc/SkVa",
                                                 "desktop bpmf/LmDx", "desktop bpmc/LmDx"};
const std::vector<std::string> kFourOverwriting = {
    "desktop bpmf/SkVa over", "desktop bpmc/SkVa over", "desktop bpmf/LmDx over",
    "desktop bpmc/LmDx over"};
const test::LogLine kSuccess{"Lumora: sync operation completed successfully.", -1};

TEST_F(Dispatch, SyncFilesRunsFourDesktopTransfersThenHandheld) {
  EXPECT_EQ(sync(0), 0);
  auto expected = kFourToDesktop;
  expected.push_back("handheld LmDx");
  EXPECT_EQ(calls, expected);
  EXPECT_EQ(log, std::vector<test::LogLine>{kSuccess});
  EXPECT_FALSE(databaseExists("TTFonts_DB"));
}

TEST_F(Dispatch, FailedHandheldTransferSuppressesSuccessLine) {
  handheldResult = false;
  sync(0);
  EXPECT_TRUE(log.empty());
  sync(3);
  EXPECT_TRUE(log.empty());
  EXPECT_EQ(calls.back(), "handheld LmDx over");
}

TEST_F(Dispatch, HandheldOverwritesDesktopAlwaysLogsSuccess) {
  handheldResult = false;
  sync(2);
  EXPECT_EQ(calls, kFourOverwriting);
  EXPECT_EQ(log, std::vector<test::LogLine>{kSuccess});
  EXPECT_FALSE(databaseExists("TTFonts_DB"));
}

TEST_F(Dispatch, MissingSyncFolderGivesNoSuccessLine) {
  // The transfers log the missing folder themselves; the fake ones log nothing.
  folderThere = false;
  for (uint32_t type : {0u, 2u}) {
    handheldResult = type != 0;
    calls.clear();
    log.clear();
    sync(type);
    EXPECT_EQ(calls.size(), type == 0 ? 5u : 4u) << type;
    EXPECT_TRUE(log.empty()) << type;
  }
}

TEST_F(Dispatch, DesktopOverwritesHandheld) {
  sync(3);
  EXPECT_EQ(calls, std::vector<std::string>{"handheld LmDx over"});
  EXPECT_EQ(log, std::vector<test::LogLine>{kSuccess});
}

TEST_F(Dispatch, DoNothingLogsAndStillDeletesFontDatabase) {
  sync(6);
  EXPECT_TRUE(calls.empty());
  EXPECT_EQ(log, (std::vector<test::LogLine>{{"LmDx configured to do nothing.", -1}}));
  EXPECT_FALSE(databaseExists("TTFonts_DB"));
}

TEST_F(Dispatch, UnknownSyncTypesDoNothingSilentlyButDeleteFontDatabase) {
  for (uint32_t type : {1u, 4u, 5u, 7u, 0xFFFFFFFFu}) {
    if (!databaseExists("TTFonts_DB")) createDatabase("TTFonts_DB", fourCC("ttfn"), fourCC("TTFt"));
    sync(type);
    EXPECT_TRUE(calls.empty()) << type;
    EXPECT_TRUE(log.empty()) << type;
    EXPECT_FALSE(databaseExists("TTFonts_DB")) << type;
  }
}

TEST_F(Dispatch, MissingFontDatabaseIsNoFailure) {
  sync(6);
  log.clear();
  EXPECT_EQ(sync(0), 0);
  EXPECT_EQ(log, std::vector<test::LogLine>{kSuccess});
}

TEST_F(Dispatch, ThrownIntegerEndsTheHotSyncWithOneLine) {
  throwOnCall = 2;
  EXPECT_EQ(sync(0), 0);
  EXPECT_EQ(calls, (std::vector<std::string>{"desktop bpmf/SkVa", "desktop bpmc/SkVa"}));
  EXPECT_EQ(log, (std::vector<test::LogLine>{{"Quillet: error 5.", 22}}));
  EXPECT_TRUE(databaseExists("TTFonts_DB"));  // the deletion was skipped
}

TEST_F(Dispatch, IntegerThrownByTheFontDeletionIsCaught) {
  HsInjectFault("SyncDeleteDB", 1, -7, 1);
  EXPECT_EQ(sync(6), 0);
  EXPECT_EQ(log, (std::vector<test::LogLine>{{"LmDx configured to do nothing.", -1},
                                             {"Quillet: error -7.", 22}}));
}

TEST_F(Dispatch, NullSyncPropertiesRunNoTransferButDeleteFontDatabase) {
  EXPECT_EQ(OpenConduit(nullptr, nullptr), 0);
  EXPECT_TRUE(calls.empty());
  EXPECT_TRUE(log.empty());
  EXPECT_FALSE(databaseExists("TTFonts_DB"));
}

// The Sync Manager calls of whole HotSyncs with the real transfers, as the stand-in saw
// them: the registration comes first and the unregistration last; a refused registration
// gives one line and no other call.
TEST_F(Dispatch, SyncManagerCallsLieBetweenRegistrationAndUnregistration) {
  transfers() = saved;
  // An empty sync folder, so that the transfers search the handheld.
  ConduitSettings savedSettings = settings();
  test::TempDir drive;
#if defined(_WIN32)
  std::snprintf(settings().syncFolder, sizeof settings().syncFolder, "%s", drive.path().c_str());
#else
  test::ScopedEnv driveC{"LUMORA_DRIVE_C", drive.path()};
  std::filesystem::create_directories(drive.path() + "/Lumdex");
  std::snprintf(settings().syncFolder, sizeof settings().syncFolder, "C:\\Lumdex");
#endif
  std::vector<std::string> ops;
  HsSetCallRecorder([](const char* op, void* c) { static_cast<decltype(ops)*>(c)->push_back(op); },
                    &ops);
  struct Row {
    uint32_t type;
    int32_t refusal;  // SyncRegisterConduit's code; 0 lets the conduit in
    bool finds;       // whether the handheld is searched
  };
  for (Row r : {Row{0, 0, true}, Row{2, 0, true}, Row{3, 0, false}, Row{6, 0, false},
                Row{0, 0x4015, false}}) {
    ops.clear();
    log.clear();
    if (r.refusal) HsInjectFault("SyncRegisterConduit", 1, r.refusal, 0);
    EXPECT_EQ(sync(r.type), 0) << r.type;
    std::vector<std::string> sync;
    for (const std::string& op : ops)
      if (op.rfind("Sync", 0) == 0) sync.push_back(op);
    ASSERT_FALSE(sync.empty()) << r.type;
    EXPECT_EQ(sync.front(), "SyncRegisterConduit") << r.type;
    if (r.refusal) {
      EXPECT_EQ(sync.size(), 1u);
      EXPECT_EQ(log,
                (std::vector<test::LogLine>{
                    {"Lumora: the HotSync Manager did not let the conduit in (code 16405).", 22}}));
      continue;
    }
    EXPECT_EQ(sync.back(), "SyncUnRegisterConduit") << r.type;
    EXPECT_EQ(std::count(sync.begin(), sync.end(), "SyncRegisterConduit"), 1) << r.type;
    EXPECT_EQ(std::count(sync.begin(), sync.end(), "SyncFindDbByTypeCreator") > 0, r.finds)
        << r.type;
  }
  HsSetCallRecorder(nullptr, nullptr);
  settings() = savedSettings;
}

}  // namespace
}  // namespace lumora::conduit
