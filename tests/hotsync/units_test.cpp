// The small pure helpers: names, fault lists, ini sections, log lines.
#include <gtest/gtest.h>

#include "hotsync/api/fault_injector.h"
#include "hotsync/api/hotsync_log.h"
#include "hotsync/format/handheld_clock.h"
#include "hotsync/format/names.h"

namespace lumora::hotsync {
namespace {

TEST(Names, EscapesEverythingThatCouldLeaveTheFolder) {
  struct Case {
    std::string name, file;
  };
  for (const Case& c : std::vector<Case>{
           {"Sunset", "Sunset.pdb"},
           {"My pic_2-b.v", "My pic_2-b.v.pdb"},
           {"../x", "..%2Fx.pdb"},
           {"a/b", "a%2Fb.pdb"},
           {"%2F", "%252F.pdb"},
           {"..", "...pdb"},
           {"a\\b:c", "a%5Cb%3Ac.pdb"},
           {std::string("\x01\x7f\xff", 3), "%01%7F%FF.pdb"},
       })
    EXPECT_EQ(databaseFileName(c.name), c.file) << c.name;
}

TEST(Names, AcceptsOneTo31Bytes) {
  char field[32] = {};
  EXPECT_FALSE(nameFromField(field, sizeof field));  // empty
  std::fill_n(field, 31, 'a');
  EXPECT_EQ(nameFromField(field, sizeof field), std::string(31, 'a'));
  field[31] = 'a';
  EXPECT_FALSE(nameFromField(field, sizeof field));  // not terminated in the field

  EXPECT_EQ(nameFromText(std::string(31, 'b').c_str()), std::string(31, 'b'));
  EXPECT_FALSE(nameFromText(std::string(32, 'b').c_str()));
  EXPECT_FALSE(nameFromText(""));
  EXPECT_FALSE(nameFromText(nullptr));
}

TEST(Names, UserFoldersStayInsideHotSync) {
  EXPECT_EQ(userFolderName("Alice"), "Alice");
  EXPECT_EQ(userFolderName("J. Doe"), "J. Doe");
  EXPECT_EQ(userFolderName(".."), "%2E.");
  EXPECT_EQ(userFolderName("."), "%2E");
  EXPECT_EQ(userFolderName("../../etc"), "%2E.%2F..%2Fetc");
  EXPECT_FALSE(userFolderName(""));
  EXPECT_FALSE(userFolderName(std::string(81, 'u')));
}

TEST(FaultList, ReadsEntriesAndReportsBadOnes) {
  auto r = parseFaultList(
      "SyncWriteRec:2:0x4014, SyncOpenDB:1:-5:throw,LogAddEntry:0:7:1,"
      "bad,SyncOpenDB:x:1,SyncCloseDB:1:2:maybe");
  ASSERT_EQ(r.faults.size(), 3u);
  EXPECT_EQ(r.faults[0].op, "SyncWriteRec");
  EXPECT_EQ(r.faults[0].nth, 2);
  EXPECT_EQ(r.faults[0].code, 0x4014);
  EXPECT_FALSE(r.faults[0].throwInteger);
  EXPECT_EQ(r.faults[1].code, -5);
  EXPECT_TRUE(r.faults[1].throwInteger);
  EXPECT_EQ(r.faults[2].nth, 0);
  EXPECT_TRUE(r.faults[2].throwInteger);
  EXPECT_EQ(r.rejected,
            (std::vector<std::string>{"bad", "SyncOpenDB:x:1", "SyncCloseDB:1:2:maybe"}));
  EXPECT_EQ(parseFaultList("SyncOpenDB:1:0x10004403").faults.at(0).code,
            static_cast<int32_t>(0x10004403));
}

TEST(HandheldClock, ReadsUnixSecondsThatTheDateFieldCanHold) {
  struct Case {
    std::string text;
    std::optional<uint32_t> palm;
  };
  for (const Case& c : std::vector<Case>{
           {"0", kSecondsFrom1904To1970},
           {"1765000000", 1765000000u + kSecondsFrom1904To1970},
           {"2212122495", UINT32_MAX},  // 2106-02-07, the last second of the field
           {"2212122496", std::nullopt},
           {"99999999999", std::nullopt},
           {"", std::nullopt},
           {"-1", std::nullopt},
           {"12 ", std::nullopt},
           {"0x10", std::nullopt},
       })
    EXPECT_EQ(palmTimeFromUnixText(c.text), c.palm) << '"' << c.text << '"';
}

TEST(FaultInjector, CountsFromTheMomentOfArming) {
  FaultInjector f;
  f.onCall("Op");
  f.arm({"Op", 2, 9, false});
  EXPECT_FALSE(f.onCall("Op"));
  EXPECT_EQ(f.onCall("Op")->code, 9);
  EXPECT_FALSE(f.onCall("Op"));  // a fault fires once
  f.arm({"Op", 0, 4, false});
  EXPECT_EQ(f.onCall("Op")->code, 4);
  EXPECT_EQ(f.onCall("Op")->code, 4);
  EXPECT_EQ(f.count("Op"), 6);
  f.armFromEnvironment({{"Other", 1, 1, false}});
  f.armFromEnvironment({});  // replaces only what the environment armed
  EXPECT_FALSE(f.onCall("Other"));
  EXPECT_EQ(f.onCall("Op")->code, 4);
  f.reset();
  EXPECT_EQ(f.totalCount(), 0);
  EXPECT_FALSE(f.onCall("Op"));
}

TEST(HotSyncLog, OneLinePerEntryWithTheActivity) {
  std::tm t{};
  t.tm_year = 126;
  t.tm_mon = 11;
  t.tm_mday = 8;
  t.tm_hour = 9;
  t.tm_min = 5;
  t.tm_sec = 7;
  EXPECT_EQ(formatLogLine(t, -1, "Lumora: failed to read record."),
            "2026-12-08 09:05:07  [-1] Lumora: failed to read record.\n");
  EXPECT_EQ(formatLogLine(t, 22, "two\r\nlines"), "2026-12-08 09:05:07  [22] two  lines\n");
}

}  // namespace
}  // namespace lumora::hotsync
