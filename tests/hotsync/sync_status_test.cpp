// The HotSync status: how often it writes in each mode, and what it counts.
#include "hotsync/session/sync_status.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lumora::host {
namespace {

constexpr uint32_t kBpmc = 0x62706D63u;

// How many writes a steady stream of calls (one every stepMs until endMs) gets.
struct RateRow {
  const char* name;
  StatusMode mode;
  int64_t stepMs, endMs;
  int writes;
};

TEST(SyncStatusTest, WritesAtMostAsOftenAsItsModeAllows) {
  const RateRow rows[] = {
      {"plain lines: none in the first 5 s", StatusMode::Lines, 100, 4900, 0},
      {"plain lines: one per 5 s", StatusMode::Lines, 100, 12000, 2},
      {"plain lines: calls far apart each get one", StatusMode::Lines, 6000, 18000, 3},
      {"terminal: drawn at once, then every 200 ms", StatusMode::Terminal, 50, 1000, 5},
      {"quiet: nothing", StatusMode::Quiet, 100, 12000, 0},
  };
  for (const RateRow& row : rows) {
    SyncStatus status(row.mode, 0);
    int writes = 0;
    for (int64_t t = row.stepMs; t <= row.endMs; t += row.stepMs) {
      status.call("SyncWriteRec", nullptr, 0, 100, t);
      std::string out = status.due(t);
      if (out.empty()) continue;
      ++writes;
      // A terminal line rewrites itself; a plain line is one line.
      if (row.mode == StatusMode::Terminal)
        EXPECT_TRUE(out.front() == '\r' && out.find('\n') == std::string::npos) << row.name;
      else
        EXPECT_TRUE(out.back() == '\n' && out.find('\r') == std::string::npos) << row.name;
    }
    EXPECT_EQ(writes, row.writes) << row.name;
    const std::string last = status.finish(row.endMs);
    EXPECT_EQ(last.empty(), row.mode == StatusMode::Quiet) << row.name;
    EXPECT_TRUE(status.due(row.endMs + 60000).empty()) << row.name << ": wrote after the end";
  }
}

TEST(SyncStatusTest, CountsDatabasesPicturesBytesAndTheCurrentRate) {
  SyncStatus status(StatusMode::Terminal, 0, 200);
  status.call("SyncFindDbByTypeCreator", "Sunset", kBpmc, 0, 0);
  status.call("SyncFindDbByTypeCreator", "LumdexFormatDb", 0x666D7464u, 0, 0);
  status.call("SyncOpenDB", "LumdexFormatDb", 0, 0, 0);
  status.call("SyncCloseDB", nullptr, 0, 0, 0);
  status.call("SyncOpenDB", "Sunset", 0, 0, 1000);
  status.call("SyncReadRecordByIndex", nullptr, 0, 4096, 1000);
  status.call("SyncReadRecordByIndex", nullptr, 0, 4096, 2000);
  EXPECT_EQ(status.statusText(2000),
            "HotSync 0:02: 2 databases read, 0 written, 8.0 KiB at 4.0 KiB/s, now Sunset");
  status.call("SyncCloseDB", nullptr, 0, 0, 2000);
  status.call("SyncCreateDB", "Beach\x9b", kBpmc, 0, 3000);
  status.call("SyncWriteRec", nullptr, 0, 2048, 3000);
  EXPECT_EQ(status.statusText(3000),
            "HotSync 0:03: 2 databases read, 1 written, 10.0 KiB at 3.3 KiB/s, now Beach?");
  // Nothing moved for longer than the rate's window: the current rate is 0.
  EXPECT_EQ(status.statusText(9000),
            "HotSync 0:09: 2 databases read, 1 written, 10.0 KiB at 0 B/s, now Beach?");
  // Over a link the link's bytes count, not the records'.
  status.linkBytes(1536, 10000);
  status.call("SyncWriteRec", nullptr, 0, 4096, 10000);
  EXPECT_EQ(status.summaryText(10000),
            "HotSync totals: 1 picture to the desktop, 1 to the handheld, 2 databases read, 1 "
            "written, 1.5 KiB in 0:10 (154 B/s)");
}

}  // namespace
}  // namespace lumora::host
