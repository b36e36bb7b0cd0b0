#include "hotsync/link/dlp_server.h"

#include <gtest/gtest.h>

#include <memory>

#include "hotsync/link/sync_result.h"
#include "hotsync/store/handheld_store.h"
#include "tests/hotsync/link/hex.h"
#include "tests/support/temp_dir.h"

namespace lumora::link {
namespace {

using namespace dlp;
using test::hex;

Bytes text(std::string_view s) {
  return Bytes(s.begin(), s.end());
}

hotsync::Database database(const std::string& name, uint32_t type, uint32_t creator,
                           std::vector<std::string_view> records, bool appInfo = false) {
  hotsync::Database db;
  db.name = name;
  db.type = type;
  db.creator = creator;
  uint32_t id = 1;
  for (auto r : records) db.records.push_back({0x40, id++, text(r)});
  if (appInfo) db.appInfo = text("APPINFO");
  return db;
}

// A handheld folder with three databases and a server answering from it.
class DlpServerTest : public testing::Test {
 protected:
  void SetUp() override {
    auto seed = std::make_unique<hotsync::HandheldStore>(dir.path(), [](const std::string&) {});
    std::string why;
    ASSERT_EQ(
        seed->install(
            database("Alpha", fourCC("DATA"), fourCC("LmDx"), {"one", "two", "three"}, true), why),
        0);
    ASSERT_EQ(seed->install(database("Beta", fourCC("bpmf"), fourCC("LmDx"), {}), why), 0);
    ASSERT_EQ(seed->install(database("Gamma", fourCC("DATA"), fourCC("Othr"), {"x"}), why), 0);
    restart();
  }
  void restart(HandheldUser user = {}) {
    server.reset();
    store = std::make_unique<hotsync::HandheldStore>(
        dir.path(), [this](const std::string& line) { log.push_back(line); },
        [] { return 3'000'000'000u; });
    server = std::make_unique<DlpServer>(*store, std::move(user));
  }
  // Through the bytes, as the link delivers them.
  Response ask(const Request& request) {
    auto packet = encodeRequest(request);
    EXPECT_TRUE(packet);
    auto answer = decodeResponse(server->answer(*packet));
    EXPECT_TRUE(answer) << answer.error().message;
    EXPECT_EQ(answer->function, request.function);
    return *answer;
  }
  template <class Q>
  Response ask(const Q& typed) {
    auto request = toRequest(typed);
    EXPECT_TRUE(request);
    return ask(*request);
  }
  template <class A, class Q>
  A expect(const Q& typed) {
    Response r = ask(typed);
    auto answer = fromResponse<A>(r);
    EXPECT_TRUE(answer) << answer.error().message;
    return answer ? *answer : A{};
  }
  uint8_t open(const std::string& name, uint8_t mode = OpenDbRequest::kRead) {
    return expect<OpenDbAnswer>(OpenDbRequest{0, mode, name}).handle;
  }

  lumora::test::TempDir dir;
  std::unique_ptr<hotsync::HandheldStore> store;
  std::unique_ptr<DlpServer> server;
  std::vector<std::string> log;
};

TEST_F(DlpServerTest, RefusesWhatItCannotDo) {
  struct Case {
    const char* name;
    Request request;
    uint16_t error;
  };
  auto arg = [](std::string_view h) { return std::vector<Argument>{{0x20, hex(h)}}; };
  const Case cases[] = {
      {"unknown function", {0x55, {}}, kErrIllegalRequest},
      {"OpenDB without its argument", {kOpenDb, {}}, kErrArgMissing},
      {"OpenDB name without its zero", {kOpenDb, arg("00 80 41 6c 70")}, kErrArgSize},
      {"OpenDB of a missing database", {kOpenDb, arg("00 80 4e 6f 70 65 00")}, kErrNotFound},
      {"OpenDB of another card", {kOpenDb, arg("01 80 41 6c 70 68 61 00")}, kErrParameter},
      {"OpenDB without read or write", {kOpenDb, arg("00 00 41 6c 70 68 61 00")}, kErrParameter},
      {"OpenDB of a 40-byte name",
       {kOpenDb, arg("00 80 4141414141414141414141414141414141414141414141414141414141414141"
                     "4141414141414141 00")},
       kErrParameter},
      {"CreateDB of an existing name",
       {kCreateDb, arg("4c6d4478 44415441 00 00 0000 0001 41 6c 70 68 61 00")},
       kErrAlreadyExists},
      {"CreateDB of a resource database",
       {kCreateDb, arg("4c6d4478 44415441 00 00 0001 0001 5a 00")},
       kErrNotSupported},
      {"CreateDB without a name",
       {kCreateDb, arg("4c6d4478 44415441 00 00 0000 0001 00")},
       kErrParameter},
      {"DeleteDB of a missing database", {kDeleteDb, arg("00 00 4e 6f 70 65 00")}, kErrNotFound},
      {"CloseDB of a handle never opened", {kCloseDb, arg("09")}, kErrParameter},
      {"ReadRecord through a handle never opened",
       {kReadRecord, {{0x21, hex("09 00 0000 0000 0010")}}},
       kErrParameter},
      {"ReadAppBlock through a handle never opened",
       {kReadAppBlock, arg("09 00 0000 ffff")},
       kErrParameter},
      {"WriteResource", {kWriteResource, arg("01 00 74455854 0001 0002 aa bb")}, kErrNotSupported},
      {"ReadDBList of ROM", {kReadDbList, arg("40 00 0000")}, kErrNotFound},
      {"ReadDBList past the end", {kReadDbList, arg("80 00 0003")}, kErrNotFound},
      {"FindDB of a missing name", {kFindDb, arg("80 00 4e 6f 70 65 00")}, kErrNotFound},
      {"FindDB through a handle never opened", {kFindDb, {{0x21, hex("80 07")}}}, kErrParameter},
      {"FindDB with no search", {kFindDb, {{0x23, hex("80")}}}, kErrArgMissing},
      {"EndOfSync with trailing bytes", {kEndOfSync, arg("0000 00")}, kErrArgSize},
      {"ReadOpenDBInfo of a handle never opened", {kReadOpenDbInfo, arg("05")}, kErrParameter},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ask(c.request).error, c.error);
    EXPECT_FALSE(server->ended());
  }
}

TEST_F(DlpServerTest, AnswersPacketsItCannotRead) {
  struct Case {
    const char* name;
    std::string_view packet;
    std::string_view answer;
  };
  const Case cases[] = {
      {"empty", "", "80 00 00 15"},
      {"function only", "17", "97 00 00 15"},
      {"argument cut short", "17 01 20 08 00 80 41", "97 00 00 15"},
      {"wrapper of both kinds", "17 01 e0 00 00 03 00 80 00", "97 00 00 13"},
      {"answer bit set", "97 00", "97 00 00 04"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(server->answer(hex(c.packet)), hex(c.answer));
  }
}

TEST_F(DlpServerTest, ReadsRecordsAndBlocks) {
  uint8_t h = open("Alpha");
  Record first = expect<Record>(ReadRecordRequest{false, h, 0, 0, 0, 2});
  EXPECT_EQ(first.recordSize, 3);  // the whole record, though the desktop asked for 2
  EXPECT_EQ(first.data, text("on"));
  EXPECT_EQ(first.attributes, 0x40);
  Record part = expect<Record>(ReadRecordRequest{false, h, 2, 0, 1, 0xFFFF});
  EXPECT_EQ(part.data, text("hree"));
  EXPECT_EQ(part.recordId, 3u);
  Record byId = expect<Record>(ReadRecordRequest{true, h, 0, 2, 0, 100});
  EXPECT_EQ(byId.data, text("two"));
  EXPECT_EQ(byId.index, 1);
  EXPECT_EQ(ask(ReadRecordRequest{false, h, 3, 0, 0, 10}).error, kErrNotFound);
  EXPECT_EQ(ask(ReadRecordRequest{true, h, 0, 77, 0, 10}).error, kErrNotFound);
  EXPECT_EQ(ask(ReadRecordRequest{false, h, 0, 0, 4, 10}).error, kErrParameter);

  AppBlock block = expect<AppBlock>(ReadAppBlockRequest{h, 3, 0xFFFF});
  EXPECT_EQ(block.blockSize, 7);
  EXPECT_EQ(block.data, text("INFO"));
  EXPECT_EQ(expect<OpenDbInfo>(ReadOpenDbInfoRequest{h}).recordCount, 3);

  EXPECT_EQ(ask(WriteRecordRequest{h, 0x80, 0, 0, 0, text("no")}).error, kErrReadOnly);
  EXPECT_EQ(ask(OpenDbRequest{0, OpenDbRequest::kRead, "Alpha"}).error, kErrDatabaseOpen);
  EXPECT_EQ(ask(DeleteDbRequest{0, "Alpha"}).error, kErrDatabaseOpen);
  uint8_t beta = open("Beta");
  EXPECT_EQ(ask(ReadAppBlockRequest{beta, 0, 0xFFFF}).error, kErrNotFound);
  EXPECT_EQ(ask(CloseDbRequest{false, h}).error, kErrNone);
  EXPECT_EQ(ask(CloseDbRequest{false, h}).error, kErrParameter);
}

TEST_F(DlpServerTest, WritesReachTheFolderAtEndOfSync) {
  uint8_t h = expect<CreateDbAnswer>(CreateDbRequest{fourCC("LmDx"), fourCC("bpmf"), 0,
                                                     CreateDbRequest::kBackup, 1, "Delta"})
                  .handle;
  EXPECT_EQ(expect<WriteRecordAnswer>(WriteRecordRequest{h, 0x80, 0, 0, 2, text("abc")}).recordId,
            1u);
  EXPECT_EQ(expect<WriteRecordAnswer>(WriteRecordRequest{h, 0x80, 0, 0, 0, text("de")}).recordId,
            2u);
  EXPECT_EQ(ask(WriteRecordRequest{h, 0x80, 0, 0, 0, Bytes(65506, 1)}).error, kErrLimitExceeded);
  EXPECT_EQ(ask(WriteAppBlockRequest{h, text("BLOCK")}).error, kErrNone);
  EXPECT_EQ(expect<OpenDbInfo>(ReadOpenDbInfoRequest{h}).recordCount, 2);
  uint8_t alpha = open("Alpha", OpenDbRequest::kRead | OpenDbRequest::kWrite);
  EXPECT_EQ(ask(WriteRecordRequest{alpha, 0x80, 2, 0, 0, text("TWO")}).error, kErrNone);
  EXPECT_FALSE(lumora::test::fileExists(dir.file("Delta.pdb")));

  EXPECT_EQ(ask(EndOfSyncRequest{}).error, kErrNone);
  EXPECT_TRUE(server->ended());
  EXPECT_EQ(ask(ReadUserInfoRequest{}).error, kErrNoneOpen);  // nothing after the end
  restart();
  uint8_t again = open("Delta");
  Record r = expect<Record>(ReadRecordRequest{false, again, 0, 0, 0, 100});
  EXPECT_EQ(r.data, text("abc"));
  EXPECT_EQ(r.category, 2);
  EXPECT_EQ(expect<AppBlock>(ReadAppBlockRequest{again, 0, 0xFFFF}).data, text("BLOCK"));
  uint8_t a = open("Alpha");
  EXPECT_EQ(expect<Record>(ReadRecordRequest{false, a, 1, 0, 0, 100}).data, text("TWO"));
}

TEST_F(DlpServerTest, DropsWhatIsOpenWhenTheSessionBreaksOff) {
  uint8_t h = expect<CreateDbAnswer>(CreateDbRequest{1, 2, 0, 0, 1, "Half"}).handle;
  EXPECT_EQ(ask(WriteRecordRequest{h, 0x80, 0, 0, 0, text("abc")}).error, kErrNone);
  restart();  // no EndOfSync
  EXPECT_FALSE(lumora::test::fileExists(dir.file("Half.pdb")));
  EXPECT_EQ(ask(OpenDbRequest{0, OpenDbRequest::kRead, "Half"}).error, kErrNotFound);
}

TEST_F(DlpServerTest, CloseAllAndDelete) {
  uint8_t h = expect<CreateDbAnswer>(CreateDbRequest{1, 2, 0, 0, 1, "Temp"}).handle;
  open("Alpha");
  EXPECT_EQ(ask(CloseDbRequest{true, 0}).error, kErrNone);
  EXPECT_EQ(ask(CloseDbRequest{false, h}).error, kErrParameter);
  EXPECT_TRUE(lumora::test::fileExists(dir.file("Temp.pdb")));
  EXPECT_EQ(ask(DeleteDbRequest{0, "Temp"}).error, kErrNone);
  EXPECT_FALSE(lumora::test::fileExists(dir.file("Temp.pdb")));
  EXPECT_EQ(ask(DeleteDbRequest{0, "Temp"}).error, kErrNotFound);
}

TEST_F(DlpServerTest, TooManyOpen) {
  for (int i = 0; i < 32; ++i)
    ASSERT_EQ(ask(CreateDbRequest{1, 2, 0, 0, 1, "Db" + std::to_string(i)}).error, kErrNone);
  EXPECT_EQ(ask(CreateDbRequest{1, 2, 0, 0, 1, "One more"}).error, kErrTooManyOpen);
  EXPECT_EQ(ask(OpenDbRequest{0, OpenDbRequest::kRead, "Alpha"}).error, kErrTooManyOpen);
}

TEST_F(DlpServerTest, FindsAndListsDatabases) {
  FindDbRequest byType;
  byType.by = FindDbRequest::By::TypeCreator;
  byType.options = FindDbRequest::kGetAttributes | FindDbRequest::kGetSize;
  byType.searchFlags = FindDbRequest::kNewSearch;
  byType.type = fourCC("DATA");
  FindDbAnswer found = expect<FindDbAnswer>(byType);
  ASSERT_TRUE(found.found && found.found->info && found.sizes);
  EXPECT_EQ(found.found->info->name, "Alpha");
  EXPECT_EQ(found.found->info->index, 0xFFFF);
  EXPECT_EQ(found.sizes->recordCount, 3u);
  byType.searchFlags = 0;
  EXPECT_EQ(expect<FindDbAnswer>(byType).found->info->name, "Gamma");
  EXPECT_EQ(ask(byType).error, kErrNotFound);  // the end of the search
  byType.searchFlags = FindDbRequest::kNewSearch;
  EXPECT_EQ(expect<FindDbAnswer>(byType).found->info->name, "Alpha");

  FindDbRequest byName;
  byName.options = 0;
  byName.name = "Beta";
  FindDbAnswer plain = expect<FindDbAnswer>(byName);
  ASSERT_TRUE(plain.found);
  EXPECT_FALSE(plain.found->info);
  EXPECT_FALSE(plain.sizes);

  uint8_t h = open("Gamma");
  FindDbRequest byHandle;
  byHandle.by = FindDbRequest::By::Handle;
  byHandle.handle = h;
  FindDbAnswer viaHandle = expect<FindDbAnswer>(byHandle);
  EXPECT_EQ(viaHandle.found->info->creator, fourCC("Othr"));
  EXPECT_EQ(viaHandle.found->openRef, h);

  DbList one = expect<DbList>(ReadDbListRequest{ReadDbListRequest::kRam, 0, 1});
  ASSERT_EQ(one.databases.size(), 1u);
  EXPECT_EQ(one.databases[0].name, "Beta");
  EXPECT_EQ(one.databases[0].index, 1);
  EXPECT_EQ(one.flags, DbList::kMore);
  DbList all = expect<DbList>(
      ReadDbListRequest{ReadDbListRequest::kRam | ReadDbListRequest::kMultiple, 0, 0});
  ASSERT_EQ(all.databases.size(), 3u);
  EXPECT_EQ(all.lastIndex, 2);
  EXPECT_EQ(all.flags, 0);
}

TEST_F(DlpServerTest, UserSystemAndLog) {
  HandheldUser user;
  user.userId = 7;
  user.name = "Alice";
  restart(user);
  UserInfo info = expect<UserInfo>(ReadUserInfoRequest{});
  EXPECT_EQ(info.name, "Alice");
  EXPECT_EQ(info.userId, 7u);

  WriteUserInfoRequest w;
  w.lastSync = Date{2026, 12, 9, 10, 30, 0, 0};
  w.lastSyncPc = 0x1234;
  w.name = "Ignored";
  w.modFlags = WriteUserInfoRequest::kSyncDate | WriteUserInfoRequest::kSyncPc;
  EXPECT_EQ(ask(w).error, kErrNone);
  EXPECT_EQ(server->user().name, "Alice");
  EXPECT_EQ(server->user().lastSyncPc, 0x1234u);

  SysInfo modern = expect<SysInfo>(ReadSysInfoRequest{true, 1, 4});
  ASSERT_TRUE(modern.dlp);
  EXPECT_EQ(modern.dlp->major, 1);
  EXPECT_EQ(modern.dlp->minor, 2);
  EXPECT_EQ(modern.dlp->largestRecord, 65505u);
  EXPECT_FALSE(expect<SysInfo>(ReadSysInfoRequest{false, 0, 0}).dlp);

  EXPECT_EQ(ask(AddSyncLogEntryRequest{"Lumdex OK\n"}).error, kErrNone);
  EXPECT_EQ(ask(AddSyncLogEntryRequest{"2 pictures\n"}).error, kErrNone);
  EXPECT_EQ(server->syncLog(), "Lumdex OK\n2 pictures\n");
  EXPECT_EQ(ask(OpenConduitRequest{}).error, kErrNone);
  EXPECT_EQ(ask(ResetSystemRequest{}).error, kErrNone);
  EXPECT_TRUE(server->resetRequested());
  EXPECT_EQ(ask(EndOfSyncRequest{}).error, kErrNone);
  EXPECT_EQ(server->user().lastSuccessfulSync, w.lastSync);
}

// What the handheld answers comes back to the desktop as the store's own result.
TEST(DlpErrorFor, InvertsTheDesktopsMapping) {
  const std::pair<int32_t, SyncOperation> cases[] = {
      {SYNC_OK, SyncOperation::Other},
      {SYNC_ERR_NO_MORE, SyncOperation::Search},
      {SYNC_ERR_EXISTS, SyncOperation::Other},
      {SYNC_ERR_ALREADY_OPEN, SyncOperation::Other},
      {SYNC_ERR_BAD_ARG, SyncOperation::Other},
      {SYNC_ERR_NOT_FOUND, SyncOperation::Other},
      {SYNC_ERR_NO_RECORD, SyncOperation::ReadRecord},
      {SYNC_ERR_NO_APP_INFO, SyncOperation::ReadAppBlock},
      {SYNC_ERR_READ_ONLY, SyncOperation::Other},
      {SYNC_ERR_STORAGE, SyncOperation::Other},
      {SYNC_ERR_TOO_LARGE, SyncOperation::Other},
      {SYNC_ERR_TOO_MANY_OPEN, SyncOperation::Other},
  };
  for (auto [code, op] : cases) EXPECT_EQ(syncResultFor(dlpErrorFor(code), op), code) << code;
}

}  // namespace
}  // namespace lumora::link
