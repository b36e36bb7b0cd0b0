// A connected simulated handheld in a temporary folder, with the log captured.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "hotsync/api/hotsync_host.h"
#include "tests/support/temp_dir.h"

namespace lumora::test {

struct LogLine {
  std::string text;
  int32_t activity;
  bool operator==(const LogLine&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const LogLine& l) {
  return os << "[" << l.activity << "] " << l.text;
}

class HandheldTest : public ::testing::Test {
 protected:
  TempDir windows;
  TempDir handheld;
  ScopedEnv windowsEnv{"LUMORA_WINDOWS_DIR", windows.path()};
  std::vector<LogLine> log;

  void SetUp() override {
    HsResetFaults();
    HsSetLogObserver(
        [](const char* text, int32_t activity, void* ctx) {
          static_cast<HandheldTest*>(ctx)->log.push_back({text, activity});
        },
        this);
    ASSERT_EQ(HsConnect(handheld.path().c_str(), "Tester"), 0);
  }
  void TearDown() override {
    HsDisconnect();
    HsSetLogObserver(nullptr, nullptr);
    HsResetFaults();
  }

  // Creates an empty database of that name, type and creator.
  void createDatabase(const char* name, uint32_t type, uint32_t creator) {
    SyncCreateParams p{};
    p.creator = creator;
    p.type = type;
    std::snprintf(p.name, sizeof p.name, "%s", name);
    ASSERT_EQ(SyncCreateDB(&p), 0) << name;
    ASSERT_EQ(SyncCloseDB(p.handle), 0);
  }
  bool databaseExists(const char* name) {
    SyncSearchName s{SYNC_SEARCH_OPTIONS, 0, name};
    SyncDbInfo info{};
    return SyncFindDbByName(&s, &info) == 0;
  }
};

}  // namespace lumora::test
