// The Sync Manager over DLP, against a scripted handheld: what each call sends, and what
// each answer (or its absence) means to the caller.
#include "hotsync/link/dlp_handheld.h"

#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <map>
#include <set>

#include "hotsync/link/dlp_functions.h"

namespace lumora::link {
namespace {

using namespace dlp;

// Answers each request from a script; records what was asked.
struct ScriptedHandheld {
  std::deque<std::optional<Response>> answers;  // nullopt: the link breaks
  std::vector<Request> requests;
  std::vector<std::string> journal;  // what the handheld was told, in order
  std::vector<hotsync::Database> kept;

  template <class T>
  void answer(const T& message) {
    answers.push_back(*toResponse(message));
  }
  void answerError(uint8_t function, uint16_t error) {
    answers.push_back(Response{function, error, {}});
  }
  void breakLink() { answers.push_back(std::nullopt); }

  DlpHandheld make(uint16_t major = 1, uint16_t minor = 2) {
    DlpHandheld::Options options;
    options.dlpMajor = major;
    options.dlpMinor = minor;
    DlpHandheld handheld(
        [this](ByteView bytes) -> std::optional<Bytes> {
          auto request = decodeRequest(bytes);
          EXPECT_TRUE(request) << request.error().message;
          if (request) requests.push_back(*request);
          EXPECT_FALSE(answers.empty()) << "unexpected request";
          if (answers.empty() || !answers.front()) {
            if (!answers.empty()) answers.pop_front();
            return std::nullopt;
          }
          auto encoded = encodeResponse(*answers.front());
          answers.pop_front();
          return *encoded;
        },
        options);
    handheld.setJournal({
        [this](const std::string& n) {
          journal.push_back("created " + n);
          return true;
        },
        [this](const std::string& n) { journal.push_back("not created " + n); },
        [](const std::string&) { return true; },
        [this](const hotsync::Database& old) {
          journal.push_back("deleting " + old.name);
          kept.push_back(old);
          return true;
        },
        [this] { journal.push_back("completed"); },
    });
    return handheld;
  }
  template <class T>
  T sent(size_t i) const {
    auto typed = fromRequest<T>(requests.at(i));
    EXPECT_TRUE(typed) << typed.error().message;
    return *typed;
  }
};

TEST(DlpHandheld, OpenSendsCardModeAndNameAndReturnsTheHandle) {
  ScriptedHandheld hh;
  hh.answer(OpenDbAnswer{7});
  auto handheld = hh.make();
  uint8_t handle = 0;
  ASSERT_EQ(handheld.open("LumdexFormatDb", 0, 0x90, handle), SYNC_OK);
  EXPECT_EQ(handle, 7);
  auto open = hh.sent<OpenDbRequest>(0);
  EXPECT_EQ(open.card, 0);
  EXPECT_EQ(open.mode, 0x90);
  EXPECT_EQ(open.name, "LumdexFormatDb");
}

TEST(DlpHandheld, ErrorAnswersBecomeTheResultsCallersCompareAgainst) {
  struct Case {
    const char* what;
    uint8_t function;
    uint16_t error;
    int32_t want;
  };
  const Case cases[] = {
      {"open: not found", kOpenDb, kErrNotFound, SYNC_ERR_NOT_FOUND},
      {"create: exists", kCreateDb, kErrAlreadyExists, SYNC_ERR_EXISTS},
      {"search: end", kFindDb, kErrNotFound, SYNC_ERR_NO_MORE},
      {"read record: past the end", kReadRecord, kErrNotFound, SYNC_ERR_NO_RECORD},
      {"app block: none", kReadAppBlock, kErrNotFound, SYNC_ERR_NO_APP_INFO},
      {"open: too many", kOpenDb, kErrTooManyOpen, SYNC_ERR_TOO_MANY_OPEN},
  };
  for (const Case& c : cases) {
    ScriptedHandheld hh;
    if (c.function == kCreateDb) hh.answerError(kFindDb, kErrNotFound);
    hh.answerError(c.function, c.error);
    auto handheld = hh.make();
    uint8_t handle = 0;
    uint8_t buffer[16] = {};
    int32_t got = -1;
    switch (c.function) {
      case kOpenDb:
        got = handheld.open("A", 0, 0x90, handle);
        break;
      case kCreateDb: {
        SyncCreateParams params{};
        std::strcpy(params.name, "A");
        got = handheld.create(params, handle);
        break;
      }
      case kFindDb: {
        SyncSearchTypeCreator search{0xE0, 0x80, 0x62706D66, 0x4C6D4478};
        SyncDbInfo info{};
        got = handheld.findByTypeCreator(search, info);
        break;
      }
      case kReadRecord: {
        SyncRawRecordInfo info{};
        info.bufferCapacity = sizeof buffer;
        info.bytes = buffer;
        got = handheld.readRecordByIndex(info);
        break;
      }
      case kReadAppBlock: {
        SyncAppInfoRequest request{};
        request.bufferSize = sizeof buffer;
        request.bytes = buffer;
        got = handheld.readAppInfo(1, request);
        break;
      }
    }
    EXPECT_EQ(got, c.want) << c.what;
    EXPECT_FALSE(handheld.broken()) << c.what;
  }
}

TEST(DlpHandheld, ReadRecordAsksForTheCapacityAndStoresNoMore) {
  ScriptedHandheld hh;
  Record record;
  record.recordId = 0x123456;
  record.index = 2;
  record.recordSize = 6000;
  record.attributes = 0x40;
  record.category = 3;
  record.data = Bytes(8, 0xAB);
  hh.answer(record);
  auto handheld = hh.make();
  uint8_t buffer[8] = {};
  SyncRawRecordInfo info{};
  info.handle = 4;
  info.recordIndex = 2;
  info.bufferCapacity = sizeof buffer;
  info.bytes = buffer;
  ASSERT_EQ(handheld.readRecordByIndex(info), SYNC_OK);
  auto read = hh.sent<ReadRecordRequest>(0);
  EXPECT_FALSE(read.byId);
  EXPECT_EQ(read.handle, 4);
  EXPECT_EQ(read.index, 2);
  EXPECT_EQ(read.count, sizeof buffer);
  EXPECT_EQ(info.recordSize, 6000u);
  EXPECT_EQ(info.recordId, 0x123456u);
  EXPECT_EQ(info.category, 3);
  EXPECT_EQ(buffer[7], 0xAB);
}

TEST(DlpHandheld, ABrokenLinkFailsThisAndEveryLaterCallWithoutSendingMore) {
  ScriptedHandheld hh;
  hh.breakLink();
  auto handheld = hh.make();
  uint8_t handle = 0;
  EXPECT_EQ(handheld.open("A", 0, 0x90, handle), SYNC_ERR_NOT_CONNECTED);
  EXPECT_TRUE(handheld.broken());
  EXPECT_EQ(handheld.remove("A", 0), SYNC_ERR_NOT_CONNECTED);
  EXPECT_EQ(hh.requests.size(), 1u);
  EXPECT_FALSE(handheld.closeAll());
}

TEST(DlpHandheld, AnAnswerOfAnotherFunctionBreaksTheLink) {
  ScriptedHandheld hh;
  hh.answer(CreateDbAnswer{1});
  auto handheld = hh.make();
  uint8_t handle = 0;
  EXPECT_EQ(handheld.open("A", 0, 0x90, handle), SYNC_ERR_NOT_CONNECTED);
  EXPECT_TRUE(handheld.broken());
  EXPECT_NE(handheld.brokenReason().find("CreateDB"), std::string::npos);
}

TEST(DlpHandheld, TheJournalHearsOfANewDatabaseBeforeTheHandheldDoes) {
  ScriptedHandheld hh;
  hh.answerError(kFindDb, kErrNotFound);
  hh.breakLink();
  auto handheld = hh.make();
  SyncCreateParams params{};
  std::strcpy(params.name, "Meadow");
  uint8_t handle = 0;
  EXPECT_EQ(handheld.create(params, handle), SYNC_ERR_NOT_CONNECTED);
  EXPECT_EQ(hh.journal, std::vector<std::string>{"created Meadow"});
  EXPECT_FALSE(handheld.closeAll());
  EXPECT_EQ(hh.journal.size(), 1u) << "a broken HotSync is not complete";
}

TEST(DlpHandheld, ADatabaseThatWasThereBeforeIsNeverJournaledAsCreated) {
  ScriptedHandheld hh;
  FindDbAnswer found;
  found.found = FindDbAnswer::Found{};
  found.found->info = DbInfo{};
  found.found->info->name = "Meadow";
  hh.answer(found);
  hh.breakLink();  // the handheld's "exists" is lost with the link
  auto handheld = hh.make();
  SyncCreateParams params{};
  std::strcpy(params.name, "Meadow");
  uint8_t handle = 0;
  EXPECT_EQ(handheld.create(params, handle), SYNC_ERR_NOT_CONNECTED);
  EXPECT_TRUE(hh.journal.empty());
}

TEST(DlpHandheld, ADeleteKeepsTheWholeOldDatabaseFirst) {
  ScriptedHandheld hh;
  FindDbAnswer found;
  found.found = FindDbAnswer::Found{};
  found.found->info = DbInfo{};
  found.found->info->name = "Sketvia_InfoDB";
  found.found->info->type = 0x69696462;
  found.found->info->creator = 0x536B5661;
  found.found->info->version = 3;
  hh.answer(found);
  hh.answer(OpenDbAnswer{2});
  AppBlock block;
  block.blockSize = 2;
  block.data = {0xAA, 0xBB};
  hh.answer(block);
  Record first;
  first.recordId = 0x10;
  first.attributes = 0x40;
  first.category = 1;
  first.data = {1, 2, 3};
  first.recordSize = 3;
  hh.answer(first);
  hh.answerError(kReadRecord, kErrNotFound);
  hh.answer(CloseDbAnswer{});
  hh.answer(DeleteDbAnswer{});
  auto handheld = hh.make();
  ASSERT_EQ(handheld.remove("Sketvia_InfoDB", 0), SYNC_OK);
  ASSERT_EQ(hh.kept.size(), 1u);
  const hotsync::Database& old = hh.kept[0];
  EXPECT_EQ(old.type, 0x69696462u);
  EXPECT_EQ(old.version, 3);
  EXPECT_EQ(old.appInfo, (Bytes{0xAA, 0xBB}));
  ASSERT_EQ(old.records.size(), 1u);
  EXPECT_EQ(old.records[0].attributes, 0x41);
  EXPECT_EQ(old.records[0].data, (Bytes{1, 2, 3}));
  EXPECT_EQ(hh.requests.back().function, kDeleteDb);
  EXPECT_TRUE(handheld.closeAll());
  EXPECT_EQ(hh.journal.back(), "completed");
}

TEST(DlpHandheld, NothingIsDeletedWhenTheOldDatabaseCannotBeRead) {
  ScriptedHandheld hh;
  FindDbAnswer found;
  found.found = FindDbAnswer::Found{};
  found.found->info = DbInfo{};
  found.found->info->name = "Meadow";
  hh.answer(found);
  hh.breakLink();
  auto handheld = hh.make();
  EXPECT_EQ(handheld.remove("Meadow", 0), SYNC_ERR_NOT_CONNECTED);
  EXPECT_TRUE(hh.kept.empty());
  for (const Request& r : hh.requests) EXPECT_NE(r.function, kDeleteDb);
}

TEST(DlpHandheld, BeforeDlp12SearchesWalkTheDatabaseList) {
  auto info = [](uint16_t index, const char* name, uint32_t type) {
    DbInfo db;
    db.index = index;
    db.name = name;
    db.type = type;
    db.creator = 0x4C6D4478;
    return db;
  };
  ScriptedHandheld hh;
  DbList first;
  first.databases = {info(0, "Other", 0x44415441), info(1, "Sunset", 0x62706D66)};
  first.lastIndex = 1;
  first.flags = DbList::kMore;
  DbList second;
  second.databases = {info(2, "Meadow", 0x62706D66)};
  second.lastIndex = 2;
  hh.answer(first);
  hh.answer(second);
  hh.answerError(kReadDbList, kErrNotFound);
  auto handheld = hh.make(1, 1);
  SyncSearchTypeCreator search{0xE0, 0x80, 0x62706D66, 0x4C6D4478};
  SyncDbInfo found{};
  ASSERT_EQ(handheld.findByTypeCreator(search, found), SYNC_OK);
  EXPECT_STREQ(found.name, "Sunset");
  search.searchFlags = 0;
  ASSERT_EQ(handheld.findByTypeCreator(search, found), SYNC_OK);
  EXPECT_STREQ(found.name, "Meadow");
  EXPECT_EQ(handheld.findByTypeCreator(search, found), SYNC_ERR_NO_MORE);
  EXPECT_EQ(hh.sent<ReadDbListRequest>(1).start, 2);
  EXPECT_EQ(hh.sent<ReadDbListRequest>(2).start, 3);
}

TEST(DlpHandheld, FindByTypeAndCreatorAsksForAttributesAndSizes) {
  ScriptedHandheld hh;
  FindDbAnswer answer;
  answer.found = FindDbAnswer::Found{};
  answer.found->info = DbInfo{};
  answer.found->info->name = "Sketvia_InfoDB";
  answer.found->info->type = 0x69696462;
  answer.sizes = FindDbAnswer::Sizes{};
  answer.sizes->recordCount = 5;
  answer.sizes->totalBytes = 1234;
  hh.answer(answer);
  auto handheld = hh.make();
  SyncSearchTypeCreator search{0xE0, 0x80, 0x69696462, 0};
  SyncDbInfo info{};
  ASSERT_EQ(handheld.findByTypeCreator(search, info), SYNC_OK);
  auto find = hh.sent<FindDbRequest>(0);
  EXPECT_EQ(find.by, FindDbRequest::By::TypeCreator);
  EXPECT_EQ(find.searchFlags, FindDbRequest::kNewSearch);
  EXPECT_EQ(find.options, FindDbRequest::kGetAttributes | FindDbRequest::kGetSize);
  EXPECT_STREQ(info.name, "Sketvia_InfoDB");
  EXPECT_EQ(info.recordCount, 5u);
  EXPECT_EQ(info.totalSize, 1234u);
}

}  // namespace
}  // namespace lumora::link
