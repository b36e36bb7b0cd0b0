#include "pictures/name_flag_list.h"

#include <gtest/gtest.h>

#include "hotsync/api/hotsync_host.h"
#include "pictures/picture_database.h"
#include "tests/pictures/handheld_fixture.h"

namespace lumora::pictures {
namespace {

class NameFlagListTest : public test::HandheldTest {
 protected:
  // The blob as the handheld holds it now, checked against its app-info size.
  std::optional<Bytes> storedBlob() {
    auto db = readDatabase(kInfoDatabase);
    if (!db) return std::nullopt;
    EXPECT_EQ(db->type, kInfoType);
    EXPECT_EQ(db->creator, kCreatorAlbum);
    EXPECT_EQ(db->appInfo.size(), 6u);
    Bytes blob = db->joined();
    EXPECT_EQ(loadBe16(db->appInfo.data()), 12);
    EXPECT_EQ(loadBe32(db->appInfo.data() + 2), blob.size());
    for (size_t i = 0; i + 1 < db->records.size(); ++i) EXPECT_EQ(db->records[i].size(), 4096u);
    return blob;
  }
};

TEST_F(NameFlagListTest, LoadsOnFirstUse) {
  putInfoDb(test::infoBlob({{"Beach", 0}, {"Garden", 1}}));
  HsResetFaults();
  auto& list = NameFlagList::instance();
  EXPECT_EQ(&list, &NameFlagList::instance());
  EXPECT_EQ(HsCallCount("SyncOpenDB"), 1);
  EXPECT_EQ(list.flagFor("Beach"), 0);
  EXPECT_EQ(list.flagFor("Garden"), 1);
  EXPECT_EQ(list.flagFor("beach"), 1);
  EXPECT_EQ(list.flagFor("Sky"), 1);
  EXPECT_EQ(HsCallCount("SyncCloseDB"), 1);
  EXPECT_TRUE(log.empty());
}

TEST_F(NameFlagListTest, BlobAcrossSeveralRecords) {
  std::vector<std::pair<std::string, uint8_t>> entries;
  for (int i = 0; i < 600; ++i) entries.emplace_back("Picture" + std::to_string(i), i % 2);
  Bytes blob = test::infoBlob(entries);
  ASSERT_GT(blob.size(), 2 * 4096u);
  putInfoDb(blob);
  auto& list = NameFlagList::instance();
  EXPECT_EQ(list.entries().size(), 600u);
  EXPECT_EQ(list.flagFor("Picture598"), 0);
  EXPECT_EQ(list.flagFor("Picture599"), 1);
}

TEST_F(NameFlagListTest, WriteBackAppendsCreatedNames) {
  Bytes blob = test::infoBlob({{"Beach", 0}});
  putInfoDb(blob);
  auto& list = NameFlagList::instance();
  list.addCreated("Beach");
  list.addCreated("Garden");
  list.addCreated("Sky");
  EXPECT_EQ(list.createdBytes(), 17);
  NameFlagList::writeBackAndReset();

  auto stored = storedBlob();
  ASSERT_TRUE(stored);
  EXPECT_EQ(*stored, writtenBackBlob(blob, {"Beach", "Garden", "Sky"}));
  EXPECT_TRUE(log.empty());

  // A later load (the next library load) reads what the first wrote.
  auto& again = NameFlagList::instance();
  EXPECT_EQ(again.flagFor("Beach"), 0);
  EXPECT_TRUE(again.created().empty());
  NameFlagList::writeBackAndReset();
  auto twice = storedBlob();
  ASSERT_TRUE(twice);
  EXPECT_EQ(twice->size(), stored->size() + 2);
}

TEST_F(NameFlagListTest, LongBlobWrittenBackInChunks) {
  std::vector<std::pair<std::string, uint8_t>> entries;
  for (int i = 0; i < 400; ++i) entries.emplace_back("Pic" + std::to_string(i), 1);
  Bytes blob = test::infoBlob(entries);
  putInfoDb(blob);
  NameFlagList::instance().addCreated("New");
  NameFlagList::writeBackAndReset();
  auto stored = storedBlob();
  ASSERT_TRUE(stored);
  EXPECT_EQ(*stored, writtenBackBlob(blob, {"New"}));
}

TEST_F(NameFlagListTest, NothingLoadedNothingWritten) {
  struct Case {
    const char* what;
    std::optional<Bytes> appInfo;
    std::vector<Bytes> records;
  };
  const Case cases[] = {
      {"no info database", std::nullopt, {}},
      {"tag not 12", Bytes{0, 13, 0, 0, 0, 4}, {Bytes{0, 0, 0, 0}}},
      {"no app-info block", std::nullopt, {Bytes{0, 0, 0, 0}}},
      {"records shorter than the size", Bytes{0, 12, 0, 0, 0x20, 0}, {Bytes(4096)}},
      {"size beyond any handheld", Bytes{0, 12, 0x10, 0, 0, 0}, {Bytes(10)}},
  };
  for (const auto& c : cases) {
    reconnect();
    SyncDeleteDB(kInfoDatabase, 0);
    if (std::string(c.what) != "no info database")
      putDatabase(kInfoDatabase, kInfoType, kCreatorAlbum, c.appInfo, c.records);
    auto before = readDatabase(kInfoDatabase);
    log.clear();
    auto& list = NameFlagList::instance();
    EXPECT_FALSE(list.hasBlob()) << c.what;
    EXPECT_TRUE(list.entries().empty()) << c.what;
    list.addCreated("Created");
    HsResetFaults();
    NameFlagList::writeBackAndReset();
    EXPECT_EQ(HsCallCount("SyncCreateDB"), 0) << c.what;
    auto after = readDatabase(kInfoDatabase);
    EXPECT_EQ(after.has_value(), before.has_value()) << c.what;
    if (before && after) {
      EXPECT_EQ(after->joined(), before->joined()) << c.what;
    }
    EXPECT_TRUE(log.empty()) << c.what;
  }
}

TEST_F(NameFlagListTest, OpenFailuresAreLoggedByCode) {
  struct Case {
    int32_t code;
    std::vector<test::LogLine> lines;
  };
  const Case cases[] = {
      {SYNC_ERR_TOO_MANY_OPEN, {{"Lumora: SYNCERR_TOO_MANY_OPEN_FILES", 22}}},
      {SYNC_ERR_ALREADY_OPEN, {{"Lumora : SYNCERR_FILE_ALREADY_OPEN", 22}}},
      {SYNC_ERR_BAD_ARG, {{"Lumora : SYNCERR_REMOTE_BAD_ARG", 22}}},
      {SYNC_ERR_STORAGE, {}},
  };
  putInfoDb(test::infoBlob({{"Beach", 0}}));
  for (const auto& c : cases) {
    reconnect();
    log.clear();
    HsInjectFault("SyncOpenDB", 1, c.code, 0);
    auto& list = NameFlagList::instance();
    EXPECT_EQ(list.flagFor("Beach"), 1);
    EXPECT_EQ(log, c.lines) << c.code;
    HsResetFaults();
  }
}

TEST_F(NameFlagListTest, RecordReadFailureLeavesTheListEmpty) {
  putInfoDb(test::infoBlob({{"Beach", 0}}));
  reconnect();
  HsResetFaults();
  HsInjectFault("SyncReadRecordByIndex", 1, SYNC_ERR_STORAGE, 0);
  auto& list = NameFlagList::instance();
  EXPECT_FALSE(list.hasBlob());
  EXPECT_EQ(list.flagFor("Beach"), 1);
  EXPECT_EQ(HsCallCount("SyncCloseDB"), 1);
}

TEST_F(NameFlagListTest, VanishedDatabaseIsFilledAgain) {
  Bytes blob = test::infoBlob({{"Beach", 0}});
  putInfoDb(blob);
  NameFlagList::instance().addCreated("Sky");
  SyncDeleteDB(kInfoDatabase, 0);
  NameFlagList::writeBackAndReset();
  auto stored = storedBlob();
  ASSERT_TRUE(stored);
  EXPECT_EQ(*stored, writtenBackBlob(blob, {"Sky"}));
}

// Whatever step of the write-back fails, the handheld keeps the list it had: a database
// deleted on the way is put back with the loaded contents.
TEST_F(NameFlagListTest, WriteBackFailuresKeepTheOldList) {
  struct Case {
    const char* what;
    const char* op;
    int nth;
    bool throwInteger;
  };
  const Case cases[] = {
      {"create fails", "SyncCreateDB", 1, false},
      {"second create fails", "SyncCreateDB", 2, false},
      {"app-info write fails", "SyncWriteDBAppInfoBlock", 1, false},
      {"record write fails", "SyncWriteRec", 1, false},
      {"record write throws", "SyncWriteRec", 1, true},
      {"delete throws", "SyncDeleteDB", 1, true},
  };
  Bytes blob = test::infoBlob({{"Beach", 0}});
  for (const auto& c : cases) {
    reconnect();
    SyncDeleteDB(kInfoDatabase, 0);
    putInfoDb(blob);
    NameFlagList::instance().addCreated("Sky");
    HsInjectFault(c.op, c.nth, SYNC_ERR_STORAGE, c.throwInteger ? 1 : 0);
    EXPECT_NO_THROW(NameFlagList::writeBackAndReset()) << c.what;
    HsResetFaults();
    auto stored = readDatabase(kInfoDatabase);
    ASSERT_TRUE(stored.has_value()) << c.what;
    EXPECT_EQ(stored->joined(), blob) << c.what;
  }
}

TEST_F(NameFlagListTest, RecordWriteFailureStopsWritingAndRestores) {
  std::vector<std::pair<std::string, uint8_t>> entries;
  for (int i = 0; i < 400; ++i) entries.emplace_back("Pic" + std::to_string(i), 1);
  Bytes blob = test::infoBlob(entries);
  putInfoDb(blob);
  NameFlagList::instance();
  HsResetFaults();
  HsInjectFault("SyncWriteRec", 2, SYNC_ERR_STORAGE, 0);
  NameFlagList::writeBackAndReset();
  // Two writes of the new list, then every record of the old one again.
  size_t oldRecords = (blob.size() + 4095) / 4096;
  EXPECT_EQ(HsCallCount("SyncWriteRec"), static_cast<int32_t>(2 + oldRecords));
  EXPECT_EQ(HsCallCount("SyncCloseDB"), 2);
  auto stored = readDatabase(kInfoDatabase);
  ASSERT_TRUE(stored.has_value());
  EXPECT_EQ(stored->joined(), blob);
}

TEST_F(NameFlagListTest, CreatedNamesAreBounded) {
  putInfoDb(test::infoBlob({}));
  auto& list = NameFlagList::instance();
  for (int i = 0; i < 300; ++i) list.addCreated("N" + std::to_string(i));
  EXPECT_EQ(list.created().size(), 255u);
  EXPECT_EQ(list.created().back(), "N254");
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].activity, -1);
  EXPECT_NE(log[0].text.find("255"), std::string::npos);
  NameFlagList::writeBackAndReset();
  auto stored = storedBlob();
  ASSERT_TRUE(stored);
  EXPECT_EQ(loadBe16(stored->data() + 8), 255);
}

}  // namespace
}  // namespace lumora::pictures
