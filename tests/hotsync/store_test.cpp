// The Sync Manager over the simulated handheld, through the C API.
#include <unistd.h>

#include "tests/hotsync/hotsync_fixture.h"

namespace lumora::hotsync::test {
namespace {

using lumora::test::readFile;
using lumora::test::writeFile;

class Store : public HotSyncTest {
 protected:
  int32_t find(uint32_t type, uint32_t creator, bool fresh, std::string* name = nullptr) {
    SyncSearchTypeCreator s{SYNC_SEARCH_OPTIONS, uint8_t(fresh ? SYNC_SEARCH_NEW : 0), type,
                            creator};
    SyncDbInfo info{};
    int32_t r = SyncFindDbByTypeCreator(&s, &info);
    if (name) *name = r == 0 ? info.name : "";
    return r;
  }
  std::string next(uint32_t type, bool fresh = false) {
    std::string name;
    find(type, fourCC("LmDx"), fresh, &name);
    return name;
  }
};

TEST_F(Store, CreateReportsAnExistingName) {
  uint8_t h = create("Sunset");
  SyncCreateParams again{};
  std::strcpy(again.name, "Sunset");
  EXPECT_EQ(SyncCreateDB(&again), SYNC_ERR_EXISTS);  // while open
  EXPECT_EQ(SyncCloseDB(h), 0);
  EXPECT_EQ(SyncCreateDB(&again), SYNC_ERR_EXISTS);
  reconnect();
  EXPECT_EQ(SyncCreateDB(&again), SYNC_ERR_EXISTS);
  std::strcpy(again.name, "sunset");  // names are compared exactly
  EXPECT_EQ(SyncCreateDB(&again), 0);
}

TEST_F(Store, OpenModesAndHandles) {
  makeDb("Pic", {{1, 2, 3}});
  uint8_t h = 0, other = 0;
  EXPECT_EQ(SyncOpenDB("Nope", 0, &h, 0x90), SYNC_ERR_NOT_FOUND);
  EXPECT_EQ(SyncOpenDB("Pic", 1, &h, 0x90), SYNC_ERR_BAD_ARG);
  EXPECT_EQ(SyncOpenDB("Pic", 0, &h, SYNC_MODE_EXCLUSIVE), SYNC_ERR_BAD_ARG);
  ASSERT_EQ(SyncOpenDB("Pic", 0, &h, 0x90), 0);
  EXPECT_EQ(SyncOpenDB("Pic", 0, &other, 0x90), SYNC_ERR_ALREADY_OPEN);
  EXPECT_EQ(SyncOpenDB("Pic", 0, &other, SYNC_MODE_READ), SYNC_ERR_ALREADY_OPEN);
  EXPECT_EQ(append(h, {9}), SYNC_ERR_READ_ONLY);
  EXPECT_EQ(writeAppInfo(h, {9}), SYNC_ERR_READ_ONLY);
  EXPECT_EQ(SyncDeleteDB("Pic", 0), SYNC_ERR_ALREADY_OPEN);
  EXPECT_EQ(SyncCloseDB(h), 0);
  EXPECT_EQ(SyncCloseDB(h), SYNC_ERR_BAD_ARG);
  EXPECT_EQ(SyncCloseDB(0), SYNC_ERR_BAD_ARG);
  SyncRawRecordInfo info{};
  info.handle = h;
  EXPECT_EQ(SyncReadRecordByIndex(&info), SYNC_ERR_BAD_ARG);  // a closed handle
  ASSERT_EQ(SyncOpenDB("Pic", 0, &h, SYNC_MODE_READ | SYNC_MODE_WRITE), 0);
  EXPECT_EQ(append(h, {9}), 0);
  EXPECT_EQ(SyncCloseDB(h), 0);
  EXPECT_EQ(onDisk("Pic.pdb").records.size(), 2u);
}

TEST_F(Store, AtMost32DatabasesOpen) {
  std::vector<uint8_t> handles;
  for (int i = 0; i < 32; ++i) handles.push_back(create("Db" + std::to_string(i)));
  std::sort(handles.begin(), handles.end());
  EXPECT_EQ(std::unique(handles.begin(), handles.end()), handles.end());
  SyncCreateParams p{};
  std::strcpy(p.name, "One more");
  EXPECT_EQ(SyncCreateDB(&p), SYNC_ERR_TOO_MANY_OPEN);
  EXPECT_EQ(SyncCloseDB(handles[5]), 0);
  uint8_t h = 0;
  EXPECT_EQ(SyncOpenDB("Db5", 0, &h, 0x90), 0);
  EXPECT_EQ(SyncOpenDB("Db5", 0, &h, 0x90), SYNC_ERR_ALREADY_OPEN);
  EXPECT_EQ(SyncCreateDB(&p), SYNC_ERR_TOO_MANY_OPEN);
}

TEST_F(Store, SearchCursorGoesOnAfterTheLastReturnedDatabase) {
  const uint32_t bpmf = fourCC("bpmf"), bpmc = fourCC("bpmc");
  makeDb("E", {}, bpmf);
  makeDb("D", {}, bpmc);
  makeDb("C", {}, bpmf, fourCC("SkVa"));
  makeDb("B", {}, bpmf);
  makeDb("A", {}, bpmc);

  EXPECT_EQ(next(bpmf, true), "B");  // sorted by name, whatever the order of creation
  EXPECT_EQ(next(bpmf), "E");
  EXPECT_EQ(find(bpmf, fourCC("LmDx"), false), SYNC_ERR_NO_MORE);
  EXPECT_EQ(find(bpmc, fourCC("LmDx"), false), SYNC_ERR_NO_MORE);  // nothing after E
  EXPECT_EQ(next(bpmc, true), "A");
  EXPECT_EQ(next(bpmf), "B");  // continues after A with the criteria of this call
  EXPECT_EQ(find(fourCC("zzzz"), fourCC("LmDx"), false), SYNC_ERR_NO_MORE);
  EXPECT_EQ(next(bpmc), "D");  // a miss does not move the cursor

  std::string name;
  EXPECT_EQ(find(bpmf, fourCC("SkVa"), true, &name), 0);
  EXPECT_EQ(name, "C");
  EXPECT_EQ(find(0, 0, true, &name), 0);  // 0 matches any type or creator
  EXPECT_EQ(name, "A");
  makeDb("AA", {}, bpmf);  // created during the search: found in its place
  EXPECT_EQ(find(0, 0, false, &name), 0);
  EXPECT_EQ(name, "AA");
}

TEST_F(Store, FindByNameFillsTheInformation) {
  makeDb("Pic", {{1, 2}, {3}}, fourCC("bpmc"));
  SyncSearchName s{SYNC_SEARCH_OPTIONS, 0, "Pic"};
  SyncDbInfo info;
  std::memset(&info, 0xEE, sizeof info);
  ASSERT_EQ(SyncFindDbByName(&s, &info), 0);
  EXPECT_EQ(info.card, 0u);
  EXPECT_STREQ(info.name, "Pic");
  EXPECT_EQ(info.type, fourCC("bpmc"));
  EXPECT_EQ(info.creator, fourCC("LmDx"));
  EXPECT_EQ(info.attributes, 0x0008);
  EXPECT_EQ(info.recordCount, 2u);
  EXPECT_EQ(info.totalSize, readFile(file("Pic.pdb")).size());
  s.name = "pic";
  EXPECT_EQ(SyncFindDbByName(&s, &info), SYNC_ERR_NOT_FOUND);
  s.name = "../Pic";
  EXPECT_EQ(SyncFindDbByName(&s, &info), SYNC_ERR_NOT_FOUND);
  s.name = nullptr;
  EXPECT_EQ(SyncFindDbByName(&s, &info), SYNC_ERR_BAD_ARG);
}

TEST_F(Store, AppInfoSizes) {
  uint8_t h = create("Pic");
  SyncAppInfoRequest req{};
  uint8_t buf[10];
  req.bytes = buf;
  req.bufferSize = sizeof buf;
  EXPECT_EQ(SyncReadDBAppInfoBlock(h, &req), SYNC_ERR_NO_APP_INFO);
  ASSERT_EQ(writeAppInfo(h, {0, 12, 0, 1, 0x11, 0x70}), 0);

  struct Case {
    uint16_t capacity, stored;
  };
  for (Case c : {Case{6, 6}, Case{4, 4}, Case{10, 6}, Case{0, 0}}) {
    std::memset(buf, 0xAA, sizeof buf);
    req.bufferSize = c.capacity;
    req.blockSize = 99;
    ASSERT_EQ(SyncReadDBAppInfoBlock(h, &req), 0);
    EXPECT_EQ(req.blockSize, 6) << "the block's full size, whatever was stored";
    EXPECT_EQ(req.bufferSize, c.capacity);  // the caller's capacity stays
    Bytes block{0, 12, 0, 1, 0x11, 0x70};
    EXPECT_EQ(Bytes(buf, buf + c.stored), Bytes(block.begin(), block.begin() + c.stored));
    EXPECT_EQ(buf[c.stored], 0xAA) << "nothing beyond what was stored";
  }
  req.bytes = nullptr;
  req.bufferSize = 6;
  EXPECT_EQ(SyncReadDBAppInfoBlock(h, &req), SYNC_ERR_BAD_ARG);
  EXPECT_EQ(SyncWriteDBAppInfoBlock(h, &req), SYNC_ERR_BAD_ARG);
  Bytes big(65506, 1);
  EXPECT_EQ(writeAppInfo(h, big), SYNC_ERR_TOO_LARGE);
  EXPECT_EQ(SyncCloseDB(h), 0);
  EXPECT_EQ(onDisk("Pic.pdb").appInfo, (Bytes{0, 12, 0, 1, 0x11, 0x70}));
}

TEST_F(Store, ReadRecordStoresAtMostTheCapacity) {
  uint8_t h = create("Pic");
  SyncRawRecordInfo w{};
  Bytes data{1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  w.handle = h;
  w.attributes = 0x40;
  w.category = 3;
  w.recordSize = 10;
  w.bytes = data.data();
  ASSERT_EQ(SyncWriteRec(&w), 0);
  EXPECT_EQ(SyncCloseDB(h), 0);
  ASSERT_EQ(SyncOpenDB("Pic", 0, &h, 0x90), 0);

  uint8_t buf[16];
  std::memset(buf, 0xAA, sizeof buf);
  SyncRawRecordInfo r{};
  r.handle = h;
  r.bufferCapacity = 4;
  r.bytes = buf;
  ASSERT_EQ(SyncReadRecordByIndex(&r), 0);
  EXPECT_EQ(Bytes(buf, buf + 5), (Bytes{1, 2, 3, 4, 0xAA}));
  EXPECT_EQ(r.recordSize, 10u);  // the record's full size
  EXPECT_EQ(r.recordId, w.recordId);
  EXPECT_EQ(r.attributes, 0x40);
  EXPECT_EQ(r.category, 3);

  r.bufferCapacity = 16;
  ASSERT_EQ(SyncReadRecordByIndex(&r), 0);
  EXPECT_EQ(Bytes(buf, buf + 11), (Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0xAA}));
  r.bytes = nullptr;
  r.bufferCapacity = 0;
  EXPECT_EQ(SyncReadRecordByIndex(&r), 0);  // size only
  r.bufferCapacity = 1;
  EXPECT_EQ(SyncReadRecordByIndex(&r), SYNC_ERR_BAD_ARG);
  r.bytes = buf;
  r.recordIndex = 1;
  EXPECT_EQ(SyncReadRecordByIndex(&r), SYNC_ERR_NO_RECORD);
  EXPECT_EQ(SyncCloseDB(h), 0);
}

TEST_F(Store, RecordWriteLimits) {
  uint8_t h = create("Pic");
  EXPECT_EQ(append(h, Bytes(65505, 7)), 0);
  EXPECT_EQ(append(h, Bytes(65506, 7)), SYNC_ERR_TOO_LARGE);
  EXPECT_EQ(append(h, {}), 0);  // an empty record is allowed
  SyncRawRecordInfo w{};
  w.handle = h;
  w.recordSize = 3;
  EXPECT_EQ(SyncWriteRec(&w), SYNC_ERR_BAD_ARG);  // no bytes
  uint8_t b = 1;
  w.bytes = &b;
  w.recordSize = 1;
  w.category = 16;
  EXPECT_EQ(SyncWriteRec(&w), SYNC_ERR_BAD_ARG);
  w.category = 0;
  w.recordId = 0x777;
  EXPECT_EQ(SyncWriteRec(&w), SYNC_ERR_NO_RECORD);
  EXPECT_EQ(SyncCloseDB(h), 0);
  auto db = onDisk("Pic.pdb");
  ASSERT_EQ(db.records.size(), 2u);
  EXPECT_EQ(db.records[0].data.size(), 65505u);
}

TEST_F(Store, UniqueIdsAreAssignedAboveTheHighestPresent) {
  uint8_t h = create("New");
  uint32_t a = 0, b = 0, c = 0;
  EXPECT_EQ(append(h, {1}, &a), 0);
  EXPECT_EQ(append(h, {2}, &b), 0);
  EXPECT_EQ(SyncCloseDB(h), 0);
  EXPECT_GT(a, 0u);
  EXPECT_GT(b, a);
  reconnect();
  ASSERT_EQ(SyncOpenDB("New", 0, &h, SYNC_MODE_READ | SYNC_MODE_WRITE), 0);
  EXPECT_EQ(append(h, {3}, &c), 0);
  EXPECT_GT(c, b);
  EXPECT_EQ(SyncCloseDB(h), 0);

  Database foreign;  // written by another tool: IDs out of order, no useful seed
  foreign.name = "Foreign";
  foreign.records = {{0, 0x500, {1}}, {0, 0x20, {2}}};
  writeFile(file("Foreign.pdb"), *serializePdb(foreign));
  reconnect();
  ASSERT_EQ(SyncOpenDB("Foreign", 0, &h, SYNC_MODE_READ | SYNC_MODE_WRITE), 0);
  EXPECT_EQ(append(h, {3}, &c), 0);
  EXPECT_EQ(c, 0x501u);
  SyncRawRecordInfo w{};  // a known ID replaces that record in place
  uint8_t byte = 9;
  w.handle = h;
  w.recordId = 0x20;
  w.recordSize = 1;
  w.bytes = &byte;
  EXPECT_EQ(SyncWriteRec(&w), 0);
  EXPECT_EQ(SyncCloseDB(h), 0);
  auto db = onDisk("Foreign.pdb");
  ASSERT_EQ(db.records.size(), 3u);
  EXPECT_EQ(db.records[1].data, Bytes{9});
  EXPECT_EQ(db.records[2].uniqueId, 0x501u);
  EXPECT_EQ(db.modificationNumber, 1u);
}

TEST_F(Store, DeleteRemovesTheFile) {
  makeDb("Pic");
  EXPECT_EQ(SyncDeleteDB("Nope", 0), SYNC_ERR_NOT_FOUND);
  EXPECT_EQ(SyncDeleteDB("Pic", 1), SYNC_ERR_BAD_ARG);
  ASSERT_TRUE(lumora::test::fileExists(file("Pic.pdb")));
  EXPECT_EQ(SyncDeleteDB("Pic", 0), 0);
  EXPECT_FALSE(lumora::test::fileExists(file("Pic.pdb")));
  uint8_t h;
  EXPECT_EQ(SyncOpenDB("Pic", 0, &h, 0x90), SYNC_ERR_NOT_FOUND);
  EXPECT_EQ(SyncDeleteDB("Pic", 0), SYNC_ERR_NOT_FOUND);
  makeDb("Pic", {{1}});  // and it can be created anew
  EXPECT_EQ(onDisk("Pic.pdb").records.size(), 1u);
}

TEST_F(Store, ChangesReachTheDiskOnlyWhenClosed) {
  uint8_t h = create("Pic");
  EXPECT_EQ(append(h, {1, 2, 3}), 0);
  EXPECT_TRUE(folderEntries().empty());
  EXPECT_EQ(SyncCloseDB(h), 0);
  EXPECT_EQ(folderEntries(), std::vector<std::string>{"Pic.pdb"});

  Bytes before = readFile(file("Pic.pdb"));
  ASSERT_EQ(SyncOpenDB("Pic", 0, &h, SYNC_MODE_READ | SYNC_MODE_WRITE), 0);
  EXPECT_EQ(append(h, {4}), 0);
  EXPECT_EQ(writeAppInfo(h, {5}), 0);
  EXPECT_EQ(readFile(file("Pic.pdb")), before);
  EXPECT_EQ(SyncCloseDB(h), 0);
  EXPECT_EQ(onDisk("Pic.pdb").records.size(), 2u);
  EXPECT_EQ(folderEntries(), std::vector<std::string>{"Pic.pdb"});  // no temporary left

  // Disconnecting writes what is still open.
  h = create("Late");
  EXPECT_EQ(append(h, {6}), 0);
  EXPECT_EQ(HsDisconnect(), 0);
  EXPECT_EQ(onDisk("Late.pdb").records.size(), 1u);
}

TEST_F(Store, TemporaryAndOtherFilesAreNeverDatabases) {
  Database db;
  db.name = "Sneaky";
  Bytes image = *serializePdb(db);
  writeFile(file(".Sneaky.pdb.4242-0.tmp"), image);
  writeFile(file("Sneaky.pdb.tmp"), image);
  writeFile(file("notes.txt"), {1, 2});
  std::filesystem::create_directory(file("Folder"));
  reconnect();
  EXPECT_EQ(find(0, 0, true), SYNC_ERR_NO_MORE);
  EXPECT_TRUE(log.empty());
}

TEST_F(Store, HostileNamesStayInsideTheHandheldFolder) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"../x", "..%2Fx.pdb"},
      {"a/b", "a%2Fb.pdb"},
      {"%2F", "%252F.pdb"},
      {"\x01\x1b[0m", "%01%1B%5B0m.pdb"},
      {".hidden", ".hidden.pdb"},
      {"..", "...pdb"},
      {std::string(31, 'L'), std::string(31, 'L') + ".pdb"},
  };
  for (const auto& [name, fileName] : cases) makeDb(name, {{7}});
  std::vector<std::string> expected;
  for (const auto& c : cases) expected.push_back(c.second);
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(folderEntries(), expected);
  EXPECT_FALSE(lumora::test::fileExists(tmp.file("x.pdb")));

  reconnect();  // the real names come back from the headers
  for (const auto& [name, fileName] : cases) {
    uint8_t h;
    EXPECT_EQ(SyncOpenDB(name.c_str(), 0, &h, 0x90), 0) << fileName;
    EXPECT_EQ(SyncCloseDB(h), 0);
  }

  SyncCreateParams p{};
  EXPECT_EQ(SyncCreateDB(&p), SYNC_ERR_BAD_ARG);  // empty
  std::memset(p.name, 'M', sizeof p.name);
  EXPECT_EQ(SyncCreateDB(&p), SYNC_ERR_BAD_ARG);  // 32 bytes, no terminator
  uint8_t h;
  EXPECT_EQ(SyncOpenDB(std::string(32, 'L').c_str(), 0, &h, 0x90), SYNC_ERR_BAD_ARG);
  EXPECT_EQ(SyncDeleteDB("", 0), SYNC_ERR_BAD_ARG);
}

TEST_F(Store, UnreadableFilesAreSkippedAndKept) {
  writeFile(file("Broken.pdb"), {1, 2, 3});
  Database outside;
  outside.name = "Link";
  writeFile(tmp.file("outside.pdb"), *serializePdb(outside));
  ASSERT_EQ(::symlink(tmp.file("outside.pdb").c_str(), file("Link.pdb").c_str()), 0);
  Database twin;
  twin.name = "Pic";
  writeFile(file("Copy of Pic.pdb"), *serializePdb(twin));
  makeDb("Pic", {{1}});
  log.clear();
  reconnect();

  ASSERT_EQ(log.size(), 3u);
  for (const LogEntry& e : log) EXPECT_EQ(e.activity, -1);
  EXPECT_NE(log[0].text.find("\"Broken.pdb\": the file is shorter than the 78-byte"),
            std::string::npos)
      << log[0].text;
  EXPECT_NE(log[1].text.find("\"Link.pdb\": it is a symbolic link"), std::string::npos)
      << log[1].text;
  // Of two files holding "Pic", the one named after it wins over the copy.
  EXPECT_NE(log[2].text.find("\"Copy of Pic.pdb\": it holds the database \"Pic\""),
            std::string::npos)
      << log[2].text;

  std::string name;
  SyncSearchTypeCreator all{SYNC_SEARCH_OPTIONS, SYNC_SEARCH_NEW, 0, 0};
  SyncDbInfo info{};
  EXPECT_EQ(SyncFindDbByTypeCreator(&all, &info), 0);
  EXPECT_STREQ(info.name, "Pic");
  EXPECT_EQ(info.recordCount, 1u);
  EXPECT_EQ(find(0, 0, false), SYNC_ERR_NO_MORE);

  uint8_t h;
  EXPECT_EQ(SyncOpenDB("Broken", 0, &h, 0x90), SYNC_ERR_NOT_FOUND);
  EXPECT_EQ(SyncDeleteDB("Broken", 0), SYNC_ERR_NOT_FOUND);
  SyncCreateParams p{};
  std::strcpy(p.name, "Broken");
  EXPECT_EQ(SyncCreateDB(&p), SYNC_ERR_STORAGE);
  std::strcpy(p.name, "Link");
  EXPECT_EQ(SyncCreateDB(&p), SYNC_ERR_STORAGE);
  EXPECT_EQ(readFile(file("Broken.pdb")), (Bytes{1, 2, 3}));
  EXPECT_EQ(onDisk("Copy of Pic.pdb"), twin);
  EXPECT_EQ(readFile(tmp.file("outside.pdb")), *serializePdb(outside));
}

TEST_F(Store, AFileBrokenAfterConnectingIsRefusedAtOpenAndKept) {
  makeDb("Pic", {{1, 2}});
  makeDb("Other", {{3}});
  reconnect();
  writeFile(file("Pic.pdb"), {9, 9});
  Database renamed;
  renamed.name = "Renamed";
  writeFile(file("Other.pdb"), *serializePdb(renamed));
  log.clear();
  uint8_t h;
  EXPECT_EQ(SyncOpenDB("Pic", 0, &h, 0x90), SYNC_ERR_STORAGE);
  EXPECT_EQ(SyncOpenDB("Other", 0, &h, 0x90), SYNC_ERR_STORAGE);
  ASSERT_EQ(log.size(), 2u);
  EXPECT_NE(log[0].text.find("\"Pic.pdb\""), std::string::npos) << log[0].text;
  EXPECT_NE(log[1].text.find("no longer holds the database \"Other\""), std::string::npos)
      << log[1].text;
  EXPECT_EQ(readFile(file("Pic.pdb")), (Bytes{9, 9}));
  // A refused open leaves the database closed, so it can be tried again.
  makeDb("Fresh", {{4}});
  EXPECT_EQ(SyncOpenDB("Fresh", 0, &h, 0x90), 0);
  EXPECT_EQ(SyncCloseDB(h), 0);
}

TEST_F(Store, AFailedWriteKeepsTheOldFile) {
  makeDb("Pic", {{1}});
  Bytes before = readFile(file("Pic.pdb"));
  uint8_t h, created;
  ASSERT_EQ(SyncOpenDB("Pic", 0, &h, SYNC_MODE_READ | SYNC_MODE_WRITE), 0);
  EXPECT_EQ(append(h, {2}), 0);
  created = create("New");
  writeFile(file("New.pdb"), {4, 2});  // someone else's file took the name meanwhile
  std::filesystem::rename(handheld, handheld + ".away");
  log.clear();
  EXPECT_EQ(SyncCloseDB(h), SYNC_ERR_STORAGE);
  std::filesystem::rename(handheld + ".away", handheld);
  EXPECT_EQ(SyncCloseDB(created), SYNC_ERR_STORAGE);
  ASSERT_EQ(log.size(), 2u);
  EXPECT_NE(log[0].text.find("\"Pic.pdb\""), std::string::npos) << log[0].text;
  EXPECT_NE(log[1].text.find("\"New.pdb\""), std::string::npos) << log[1].text;
  EXPECT_EQ(readFile(file("Pic.pdb")), before);
  EXPECT_EQ(readFile(file("New.pdb")), (Bytes{4, 2}));
  EXPECT_EQ(folderEntries(), (std::vector<std::string>{"New.pdb", "Pic.pdb"}));
  SyncSearchName s{SYNC_SEARCH_OPTIONS, 0, "New"};
  SyncDbInfo info{};
  EXPECT_EQ(SyncFindDbByName(&s, &info), SYNC_ERR_NOT_FOUND);
  s.name = "Pic";
  EXPECT_EQ(SyncFindDbByName(&s, &info), 0);
  EXPECT_EQ(info.recordCount, 1u);
}

TEST_F(Store, EveryOperationNeedsAConnection) {
  makeDb("Pic");
  HsDisconnect();
  EXPECT_EQ(HsIsConnected(), 0);
  uint8_t h = 0;
  SyncCreateParams p{};
  std::strcpy(p.name, "X");
  SyncRawRecordInfo r{};
  SyncAppInfoRequest a{};
  SyncSearchTypeCreator st{};
  SyncSearchName sn{SYNC_SEARCH_OPTIONS, 0, "Pic"};
  SyncDbInfo info{};
  EXPECT_EQ(SyncOpenDB("Pic", 0, &h, 0x90), SYNC_ERR_NOT_CONNECTED);
  EXPECT_EQ(SyncCreateDB(&p), SYNC_ERR_NOT_CONNECTED);
  EXPECT_EQ(SyncCloseDB(1), SYNC_ERR_NOT_CONNECTED);
  EXPECT_EQ(SyncDeleteDB("Pic", 0), SYNC_ERR_NOT_CONNECTED);
  EXPECT_EQ(SyncReadRecordByIndex(&r), SYNC_ERR_NOT_CONNECTED);
  EXPECT_EQ(SyncWriteRec(&r), SYNC_ERR_NOT_CONNECTED);
  EXPECT_EQ(SyncReadDBAppInfoBlock(1, &a), SYNC_ERR_NOT_CONNECTED);
  EXPECT_EQ(SyncWriteDBAppInfoBlock(1, &a), SYNC_ERR_NOT_CONNECTED);
  EXPECT_EQ(SyncFindDbByTypeCreator(&st, &info), SYNC_ERR_NOT_CONNECTED);
  EXPECT_EQ(SyncFindDbByName(&sn, &info), SYNC_ERR_NOT_CONNECTED);
  EXPECT_EQ(HsDisconnect(), SYNC_ERR_NOT_CONNECTED);
  EXPECT_EQ(HsConnect(tmp.file("missing").c_str(), "Alice"), SYNC_ERR_NOT_FOUND);
  EXPECT_EQ(HsConnect(handheld.c_str(), ""), SYNC_ERR_BAD_ARG);
  EXPECT_EQ(HsConnect(nullptr, "Alice"), SYNC_ERR_BAD_ARG);
}

TEST_F(Store, NullPointersAreRefused) {
  uint8_t h = 0;
  SyncDbInfo info{};
  SyncSearchTypeCreator st{};
  EXPECT_EQ(SyncOpenDB(nullptr, 0, &h, 0x90), SYNC_ERR_BAD_ARG);
  EXPECT_EQ(SyncOpenDB("Pic", 0, nullptr, 0x90), SYNC_ERR_BAD_ARG);
  EXPECT_EQ(SyncCreateDB(nullptr), SYNC_ERR_BAD_ARG);
  EXPECT_EQ(SyncDeleteDB(nullptr, 0), SYNC_ERR_BAD_ARG);
  EXPECT_EQ(SyncReadRecordByIndex(nullptr), SYNC_ERR_BAD_ARG);
  EXPECT_EQ(SyncWriteRec(nullptr), SYNC_ERR_BAD_ARG);
  EXPECT_EQ(SyncReadDBAppInfoBlock(1, nullptr), SYNC_ERR_BAD_ARG);
  EXPECT_EQ(SyncWriteDBAppInfoBlock(1, nullptr), SYNC_ERR_BAD_ARG);
  EXPECT_EQ(SyncFindDbByTypeCreator(nullptr, &info), SYNC_ERR_BAD_ARG);
  EXPECT_EQ(SyncFindDbByTypeCreator(&st, nullptr), SYNC_ERR_BAD_ARG);
  EXPECT_EQ(SyncFindDbByName(nullptr, &info), SYNC_ERR_BAD_ARG);
  EXPECT_EQ(SyncTrace(nullptr), SYNC_ERR_BAD_ARG);
}

TEST_F(Store, AFixedHandheldTimeDatesWrittenDatabases) {
  constexpr uint32_t kPalm = 1765000000u + 2082844800u;
  {
    lumora::test::ScopedEnv time("LUMORA_HANDHELD_TIME", "1765000000");
    reconnect();
    makeDb("Fixed", {{1}});
  }
  EXPECT_EQ(onDisk("Fixed.pdb").creationDate, kPalm);
  EXPECT_EQ(onDisk("Fixed.pdb").modificationDate, kPalm);

  lumora::test::ScopedEnv time("LUMORA_HANDHELD_TIME", "soon");
  reconnect();
  uint8_t h = 0;
  ASSERT_EQ(SyncOpenDB("Fixed", 0, &h, SYNC_MODE_READ | SYNC_MODE_WRITE), 0);
  EXPECT_EQ(append(h, {2}), 0);
  EXPECT_EQ(SyncCloseDB(h), 0);
  Database changed = onDisk("Fixed.pdb");
  EXPECT_EQ(changed.creationDate, kPalm);
  EXPECT_GT(changed.modificationDate, kPalm);  // the system time, later than the fixed one
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back().text,
            "HotSync: ignored LUMORA_HANDHELD_TIME \"soon\" (expected seconds since 1970).");
}

TEST(WordConversion, HandheldOrderIsBigEndian) {
  uint16_t w = SyncHostToHHWord(0x0140);
  uint32_t d = SyncHostToHHDWord(0x00020000);
  uint8_t wb[2], db[4];
  std::memcpy(wb, &w, 2);
  std::memcpy(db, &d, 4);
  EXPECT_EQ(Bytes(wb, wb + 2), (Bytes{0x01, 0x40}));
  EXPECT_EQ(Bytes(db, db + 4), (Bytes{0x00, 0x02, 0x00, 0x00}));
  EXPECT_EQ(SyncHHToHostWord(w), 0x0140);
  EXPECT_EQ(SyncHHToHostDWord(d), 0x00020000u);
}

}  // namespace
}  // namespace lumora::hotsync::test
