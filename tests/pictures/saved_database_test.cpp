#include "pictures/saved_database.h"

#include <gtest/gtest.h>

#include "hotsync/api/hotsync_host.h"
#include "pictures/picture_database.h"
#include "tests/pictures/handheld_fixture.h"

namespace lumora::pictures {
namespace {

class SavedDatabaseTest : public test::HandheldTest {
 protected:
  SyncDbInfo infoOf(const std::string& name) {
    SyncSearchName search{SYNC_SEARCH_OPTIONS, 0, name.c_str()};
    SyncDbInfo info{};
    EXPECT_EQ(SyncFindDbByName(&search, &info), 0) << name;
    return info;
  }
};

TEST_F(SavedDatabaseTest, PutBackAsItWas) {
  struct Case {
    const char* name;
    std::optional<Bytes> appInfo;
    std::vector<Bytes> records;
  };
  const Case cases[] = {
      {"Picture", Bytes{0, 12, 0, 0, 0x20, 1}, {test::pattern(4096, 1), test::pattern(1, 2)}},
      {"No app info", std::nullopt, {test::pattern(30, 3)}},
      {"No records", Bytes{1, 2, 3}, {}},
      {"Large record", std::nullopt, {test::pattern(60000, 4), {}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    putDatabase(c.name, kTypeUncompressed, kCreatorPainting, c.appInfo, c.records);
    auto before = readDatabase(c.name);
    SyncDbInfo infoBefore = infoOf(c.name);
    auto saved = saveDatabase(c.name);
    ASSERT_TRUE(saved);
    ASSERT_EQ(SyncDeleteDB(c.name, 0), 0);
    ASSERT_TRUE(restoreDatabase(*saved));
    auto after = readDatabase(c.name);
    ASSERT_TRUE(after);
    EXPECT_EQ(after->type, before->type);
    EXPECT_EQ(after->creator, before->creator);
    EXPECT_EQ(after->appInfo, before->appInfo);
    EXPECT_EQ(after->records, before->records);
    SyncDbInfo infoAfter = infoOf(c.name);
    EXPECT_EQ(infoAfter.attributes, infoBefore.attributes);
    EXPECT_EQ(infoAfter.version, infoBefore.version);
  }
}

TEST_F(SavedDatabaseTest, FailuresLeaveNothingBehind) {
  putPicture("Sunset", kTypeCompressed, kCreatorAlbum, test::pattern(9000, 1));
  EXPECT_FALSE(saveDatabase("Absent"));
  HsInjectFault("SyncReadRecordByIndex", 2, SYNC_ERR_STORAGE, 0);
  EXPECT_FALSE(saveDatabase("Sunset"));
  HsResetFaults();

  auto saved = saveDatabase("Sunset");
  ASSERT_TRUE(saved);
  ASSERT_EQ(SyncDeleteDB("Sunset", 0), 0);
  for (bool throws : {false, true}) {
    HsResetFaults();
    HsInjectFault("SyncWriteRec", 2, SYNC_ERR_STORAGE, throws ? 1 : 0);
    EXPECT_FALSE(restoreDatabase(*saved)) << throws;
    EXPECT_FALSE(hasDatabase("Sunset")) << throws;
  }
  HsResetFaults();
  putPicture("Sunset", kTypeCompressed, kCreatorAlbum, test::pattern(10, 1));
  EXPECT_FALSE(restoreDatabase(*saved));  // one of that name is there already
  EXPECT_EQ(readDatabase("Sunset")->joined(), test::pattern(10, 1));
}

}  // namespace
}  // namespace lumora::pictures
