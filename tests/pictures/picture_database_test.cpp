#include "pictures/picture_database.h"

#include <gtest/gtest.h>

#include <cstring>

#include "hotsync/api/hotsync_host.h"
#include "pictures/handheld_db.h"
#include "tests/pictures/handheld_fixture.h"

namespace lumora::pictures {
namespace {

TEST(PictureDatabaseFormat, AppInfoBlockIsBigEndian) {
  auto block = encodeAppInfo(70000);
  EXPECT_EQ(Bytes(block.begin(), block.end()), (Bytes{0x00, 0x0C, 0x00, 0x01, 0x11, 0x70}));
  AppInfo info = decodeAppInfo({0x00, 0x0D, 0x00, 0x00, 0x10, 0x00});
  EXPECT_EQ(info.tag, 13);
  EXPECT_EQ(info.dataSize, 4096u);
}

TEST(PictureDatabaseFormat, ChunkCounts) {
  const std::pair<uint32_t, uint32_t> cases[] = {
      {0, 0}, {1, 1}, {4096, 1}, {4097, 2}, {8192, 2}, {10000, 3}, {0xFFFFFFFF, 1048576}};
  for (auto [size, count] : cases) EXPECT_EQ(chunkCount(size), count) << size;
}

TEST(PictureDatabaseFormat, CreateParameters) {
  SyncCreateParams p = createParams("1234567890123456789012345678901234", kTypeCompressed,
                                    kCreatorAlbum, kBackupAttribute);
  EXPECT_EQ(std::strlen(p.name), 31u);
  EXPECT_EQ(p.type, 0x62706D63u);
  EXPECT_EQ(p.creator, 0x4C6D4478u);
  EXPECT_EQ(p.flags, 8u);
  EXPECT_EQ(p.card, 0);
  EXPECT_EQ(p.version, 0);
}

class PictureDatabaseStore : public test::HandheldTest {};

TEST_F(PictureDatabaseStore, RecordsAreCutAt4096AndReassembledByIndex) {
  struct Case {
    size_t size;
    std::vector<size_t> records;
  };
  const Case cases[] = {
      {0, {}},
      {1, {1}},
      {4096, {4096}},
      {4097, {4096, 1}},
      {8192, {4096, 4096}},
      {10000, {4096, 4096, 1808}},
  };
  for (const auto& c : cases) {
    std::string name = "P" + std::to_string(c.size);
    Bytes data = test::pattern(c.size, 7);
    SyncCreateParams p = createParams(name, kTypeUncompressed, kCreatorAlbum, kBackupAttribute);
    ASSERT_EQ(SyncCreateDB(&p), 0);
    ASSERT_EQ(writeAppInfo(p.handle, static_cast<uint32_t>(data.size())), 0);
    ASSERT_EQ(writeChunks(p.handle, data), 0);
    SyncCloseDB(p.handle);

    auto stored = readDatabase(name);
    ASSERT_TRUE(stored);
    std::vector<size_t> sizes;
    for (const auto& r : stored->records) sizes.push_back(r.size());
    EXPECT_EQ(sizes, c.records) << c.size;

    OpenResult opened = openForReading(name, 0);
    ASSERT_EQ(opened.code, 0);
    AppInfo info;
    ASSERT_EQ(readAppInfo(opened.db.handle(), info), 0);
    EXPECT_EQ(info.tag, kAppInfoTag);
    ASSERT_EQ(info.dataSize, c.size);
    Bytes back(info.dataSize);
    ASSERT_EQ(readChunks(opened.db.handle(), back), 0);
    EXPECT_EQ(back, data) << c.size;
  }
}

TEST_F(PictureDatabaseStore, FailuresReportTheSyncManagerCode) {
  putPicture("Pic", kTypeUncompressed, kCreatorAlbum, test::pattern(9000));
  OpenResult opened = openForReading("Pic", 0);
  ASSERT_EQ(opened.code, 0);
  Bytes back(9000);
  HsInjectFault("SyncReadRecordByIndex", 2, SYNC_ERR_STORAGE, 0);
  EXPECT_EQ(readChunks(opened.db.handle(), back), SYNC_ERR_STORAGE);
  // A size beyond the records present fails on the missing record.
  Bytes more(3 * 4096 + 1);
  EXPECT_NE(readChunks(opened.db.handle(), more), 0);
  EXPECT_EQ(openForReading("Missing", 0).code, SYNC_ERR_NOT_FOUND);
}

TEST_F(PictureDatabaseStore, ShortAppInfoBlockReadsAsZeros) {
  putDatabase("Short", kTypeUncompressed, kCreatorAlbum, Bytes{0, 12, 0}, {});
  OpenResult opened = openForReading("Short", 0);
  ASSERT_EQ(opened.code, 0);
  AppInfo info{99, 99};
  ASSERT_EQ(readAppInfo(opened.db.handle(), info), 0);
  EXPECT_EQ(info.tag, 12);
  EXPECT_EQ(info.dataSize, 0u);
}

}  // namespace
}  // namespace lumora::pictures
