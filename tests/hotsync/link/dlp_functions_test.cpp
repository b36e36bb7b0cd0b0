#include "hotsync/link/dlp_functions.h"

#include <gtest/gtest.h>

#include <functional>

#include "tests/hotsync/link/hex.h"

namespace lumora::link::dlp {
namespace {

using test::hex;

// Typed decode then encode of a whole packet; the packet's own wrappers are kept.
template <class T>
Result<Bytes> requestRoundTripInto(ByteView bytes, T* out) {
  auto generic = decodeRequest(bytes);
  if (!generic) return generic.error();
  auto typed = fromRequest<T>(*generic);
  if (!typed) return typed.error();
  if (out) *out = *typed;
  auto again = toRequest(*typed);
  if (!again) return again.error();
  for (size_t i = 0; i < again->args.size() && i < generic->args.size(); ++i) {
    again->args[i].wrapper = generic->args[i].wrapper;
  }
  return encodeRequest(*again);
}

template <class T>
Result<Bytes> answerRoundTripInto(ByteView bytes, T* out) {
  auto generic = decodeResponse(bytes);
  if (!generic) return generic.error();
  auto typed = fromResponse<T>(*generic);
  if (!typed) return typed.error();
  if (out) *out = *typed;
  auto again = toResponse(*typed);
  if (!again) return again.error();
  for (size_t i = 0; i < again->args.size() && i < generic->args.size(); ++i) {
    again->args[i].wrapper = generic->args[i].wrapper;
  }
  return encodeResponse(*again);
}

template <class T>
Result<Bytes> requestRoundTrip(ByteView bytes) {
  return requestRoundTripInto<T>(bytes, nullptr);
}

template <class T>
Result<Bytes> answerRoundTrip(ByteView bytes) {
  return answerRoundTripInto<T>(bytes, nullptr);
}

struct PacketCase {
  const char* name;
  const char* bytes;
  std::function<Result<Bytes>(ByteView)> roundTrip;
};

// Packets of recorded sessions of real handhelds, and of the desktop that drove them.
TEST(DlpFunctions, RecordedPacketsRoundTripThroughTheirFields) {
  const PacketCase cases[] = {
      {"ReadUserInfo", "1000", requestRoundTrip<ReadUserInfoRequest>},
      {"ReadUserInfo answer",
       "90010000202500000000000000000000000007e7060c1100000007e7060c11000000070054657374203000",
       answerRoundTrip<UserInfo>},
      {"ReadUserInfo answer, no name",
       "90010000201e00000000000000000000000000000000030000000000ea00000000000000",
       answerRoundTrip<UserInfo>},
      {"WriteUserInfo",
       "11 01 20 1d 00000000 00000000 00000000 07e7060d00000100 30 07 5465737420300 0",
       requestRoundTrip<WriteUserInfoRequest>},
      {"WriteUserInfo answer", "91000000", answerRoundTrip<WriteUserInfoAnswer>},
      {"ReadSysInfo", "1201200400010004", requestRoundTrip<ReadSysInfoRequest>},
      {"ReadSysInfo answer", "92020000200e0410300000010000000400020000210c00010002000300000000ffe1",
       answerRoundTrip<SysInfo>},
      {"ReadDBList", "16012004a0000000", requestRoundTrip<ReadDbListRequest>},
      {"ReadDBList answer, two databases",
       "96010000a0000080002a800236400008444154416164647200000000000207e70607150a220007e7"
       "0607150a220000000000e41f01000000416464726573734442004640004044415441626c74680001"
       "0000000507e70607150c020007e70607150e210000000000e41f01000001426c7565746f6f746820"
       "54727573746564204465766963657300",
       answerRoundTrip<DbList>},
      {"OpenDB", "1701200900804d656d6f444200", requestRoundTrip<OpenDbRequest>},
      {"OpenDB answer", "97010000200101", answerRoundTrip<OpenDbAnswer>},
      {"CreateDB", "180120154141414144415441000000080000666f6f62617200",
       requestRoundTrip<CreateDbRequest>},
      {"CreateDB answer", "98010000200101", answerRoundTrip<CreateDbAnswer>},
      {"CloseDB", "1901200101", requestRoundTrip<CloseDbRequest>},
      {"CloseDB all", "19012100", requestRoundTrip<CloseDbRequest>},
      {"DeleteDB", "1a0120090000666f6f62617200", requestRoundTrip<DeleteDbRequest>},
      {"ReadOpenDBInfo", "2b01200101", requestRoundTrip<ReadOpenDbInfoRequest>},
      {"ReadOpenDBInfo answer", "ab01000020020001", answerRoundTrip<OpenDbInfo>},
      {"ReadAppBlock", "1b01200601000000ffff", requestRoundTrip<ReadAppBlockRequest>},
      {"ReadAppBlock answer", "9b010000a0000006011a07075566", answerRoundTrip<AppBlock>},
      {"ReadRecord by id", "2001200a0100004570010000ffff", requestRoundTrip<ReadRecordRequest>},
      {"ReadRecord by index", "2001210801000003 0000 ffff", requestRoundTrip<ReadRecordRequest>},
      {"ReadRecord answer", "a00100002018004570010000000e400048656c6c6f2c20776f726c642100",
       answerRoundTrip<Record>},
      {"OpenConduit", "2e00", requestRoundTrip<OpenConduitRequest>},
      {"OpenConduit answer", "ae000000", answerRoundTrip<OpenConduitAnswer>},
      {"EndOfSync", "2f0120020000", requestRoundTrip<EndOfSyncRequest>},
      {"FindDB by handle", "39012102e001", requestRoundTrip<FindDbRequest>},
      {"FindDB answer",
       "b9020000203e00000004030b00003caa34408008444154414141414100000000000107e7060e0608050007"
       "e7060e06080500000003e800030000ffff666f6f62617200002118000000000000005400000000000000"
       "000000000000000000",
       answerRoundTrip<FindDbAnswer>},
  };
  for (const PacketCase& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes bytes = hex(c.bytes);
    auto again = c.roundTrip(bytes);
    ASSERT_TRUE(again) << again.error().message;
    EXPECT_EQ(*again, bytes);
  }
}

TEST(DlpFunctions, DecodedFieldsAreTheRecordedOnes) {
  UserInfo user;
  ASSERT_TRUE(answerRoundTripInto<UserInfo>(
      hex("90010000202500000001000000020000000307e7060c1100000007e7060c12000000070054657374203000"),
      &user));
  EXPECT_EQ(user.name, "Test 0");
  EXPECT_EQ(user.userId, 1u);
  EXPECT_EQ(user.lastSyncPc, 3u);
  EXPECT_EQ(user.lastSync, (Date{2023, 6, 12, 18, 0, 0, 0}));

  SysInfo sys;
  ASSERT_TRUE(answerRoundTripInto<SysInfo>(
      hex("92020000200e0410300000010000000400020000210c00010002000300000000ffe1"), &sys));
  EXPECT_EQ(sys.romVersion, 0x04103000u);
  ASSERT_TRUE(sys.dlp);
  EXPECT_EQ(sys.dlp->major, 1);
  EXPECT_EQ(sys.dlp->minor, 2);
  EXPECT_EQ(sys.dlp->largestRecord, 0xFFE1u);

  FindDbAnswer found;
  ASSERT_TRUE(answerRoundTripInto<FindDbAnswer>(
      hex("b9020000203e00000004030b00003caa34408008444154414141414100000000000107e7060e060805"
          "0007e7060e06080500000003e800030000ffff666f6f62617200002118000000000000005400000000"
          "000000000000000000000000"),
      &found));
  ASSERT_TRUE(found.found && found.found->info && found.sizes);
  EXPECT_EQ(found.found->localId, 0x0004030Bu);
  EXPECT_EQ(found.found->info->name, "foobar");
  EXPECT_EQ(found.found->info->type, fourCC("DATA"));
  EXPECT_EQ(found.found->info->index, 0xFFFF);
  EXPECT_EQ(found.sizes->totalBytes, 0x54u);

  ReadRecordRequest read;
  ASSERT_TRUE(requestRoundTripInto<ReadRecordRequest>(hex("2001210801000003 0000 ffff"), &read));
  EXPECT_FALSE(read.byId);
  EXPECT_EQ(read.index, 3);
}

template <class T>
void expectRequestRoundTrip(const T& value) {
  auto request = toRequest(value);
  ASSERT_TRUE(request) << request.error().message;
  auto bytes = encodeRequest(*request);
  ASSERT_TRUE(bytes);
  auto generic = decodeRequest(*bytes);
  ASSERT_TRUE(generic);
  auto back = fromRequest<T>(*generic);
  ASSERT_TRUE(back) << back.error().message;
  EXPECT_EQ(*back, value);
}

template <class T>
void expectAnswerRoundTrip(const T& value) {
  auto response = toResponse(value);
  ASSERT_TRUE(response) << response.error().message;
  auto bytes = encodeResponse(*response);
  ASSERT_TRUE(bytes);
  auto generic = decodeResponse(*bytes);
  ASSERT_TRUE(generic);
  auto back = fromResponse<T>(*generic);
  ASSERT_TRUE(back) << back.error().message;
  EXPECT_EQ(*back, value);
}

TEST(DlpFunctions, BuiltMessagesDecodeToThemselves) {
  Date d{2026, 12, 9, 10, 30, 5, 0};
  DbInfo info{0x40, 0x0008, fourCC("Pict"), fourCC("LmDx"), 1, 7, d, d, Date{}, 3, "Sunset"};
  DbInfo odd = info;
  odd.name = "Odd";  // 44 + 4 bytes: no padding

  expectAnswerRoundTrip(UserInfo{1, 2, 3, d, d, "Alice", {1, 2, 3}});
  expectAnswerRoundTrip(UserInfo{});
  expectRequestRoundTrip(WriteUserInfoRequest{1, 0, 0x1234, d, 0x20, ""});
  expectRequestRoundTrip(ReadSysInfoRequest{false, 0, 0});
  expectAnswerRoundTrip(SysInfo{0x05403000, 1, {0, 2, 0, 0}, std::nullopt});
  expectAnswerRoundTrip(DbList{5, DbList::kMore, {info, odd}});
  expectAnswerRoundTrip(DbList{});
  expectRequestRoundTrip(CreateDbRequest{fourCC("LmDx"), fourCC("Pict"), 0, 1, 2, "Sunset"});
  expectRequestRoundTrip(CloseDbRequest{true, 0});
  expectAnswerRoundTrip(AppBlock{300, Bytes(300, 9)});
  expectRequestRoundTrip(WriteAppBlockRequest{2, Bytes(70, 1)});
  expectRequestRoundTrip(WriteAppBlockRequest{2, {}});
  expectRequestRoundTrip(ReadRecordRequest{true, 1, 0, 0x123456, 10, 20});
  expectAnswerRoundTrip(Record{0x123456, 4, 5000, 0x40, 2, Bytes(5000, 3)});
  expectRequestRoundTrip(WriteRecordRequest{1, 0x80, 0, 0x40, 0, Bytes(4104, 5)});
  expectAnswerRoundTrip(WriteRecordAnswer{0x00ABCDEF});
  expectRequestRoundTrip(WriteResourceRequest{1, fourCC("tAIB"), 1000, Bytes(10, 4)});
  expectRequestRoundTrip(ResetSystemRequest{});
  expectRequestRoundTrip(AddSyncLogEntryRequest{"Lumora: 3 pictures copied."});
  expectRequestRoundTrip(EndOfSyncRequest{EndOfSyncRequest::kCancelled});
  FindDbRequest byName;
  byName.name = "Sketvia_InfoDB";
  expectRequestRoundTrip(byName);
  FindDbRequest byType;
  byType.by = FindDbRequest::By::TypeCreator;
  byType.searchFlags = FindDbRequest::kNewSearch;
  byType.type = fourCC("Pict");
  byType.creator = fourCC("LmDx");
  expectRequestRoundTrip(byType);
  expectAnswerRoundTrip(FindDbAnswer{FindDbAnswer::Found{0, 0x1234, 0, info}, std::nullopt});
  expectAnswerRoundTrip(FindDbAnswer{FindDbAnswer::Found{0, 0x1234, 7, std::nullopt},
                                     FindDbAnswer::Sizes{1, 2, 3, 4, 5, 6}});
}

TEST(DlpFunctions, RefusesFieldsThatDoNotFit) {
  struct Case {
    const char* name;
    std::function<Error()> run;
    const char* part;
  };
  auto requestError = [](auto value) {
    auto r = toRequest(value);
    EXPECT_FALSE(r);
    return r ? Error{} : r.error();
  };
  auto answerError = [](auto value) {
    auto r = toResponse(value);
    EXPECT_FALSE(r);
    return r ? Error{} : r.error();
  };
  const Case cases[] = {
      {"name of 255 bytes",
       [&] {
         WriteUserInfoRequest w;
         w.name = std::string(255, 'a');
         return requestError(w);
       },
       "name length of 256 does not fit, at most 255"},
      {"zero inside a name",
       [&] {
         return requestError(OpenDbRequest{0, 0x80, std::string("a\0b", 3)});
       },
       "holds a zero byte at 1"},
      {"app block of 64 KiB",
       [&] {
         return requestError(WriteAppBlockRequest{1, Bytes(65536)});
       },
       "block size of 65536"},
      {"resource of 64 KiB",
       [&] {
         return requestError(WriteResourceRequest{1, 0, 0, Bytes(65536)});
       },
       "resource size of 65536"},
      {"database name too long",
       [&] {
         DbList list;
         DbInfo info;
         info.name = std::string(211, 'n');
         list.databases.push_back(info);
         return answerError(list);
       },
       "database info size of 256"},
      {"256 databases",
       [&] {
         return answerError(DbList{0, 0, std::vector<DbInfo>(256)});
       },
       "database count of 256"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Error e = c.run();
    EXPECT_NE(e.message.find(c.part), std::string::npos) << e.message;
  }
}

TEST(DlpFunctions, RefusesMalformedArguments) {
  struct Case {
    const char* name;
    const char* bytes;
    std::function<Result<Bytes>(ByteView)> decode;
    ErrorCode code;
    const char* part;
  };
  const Case cases[] = {
      {"OpenDB name without zero", "1701200400804d65", requestRoundTrip<OpenDbRequest>,
       ErrorCode::Truncated, "name at offset 2 has no terminating zero in 2 bytes"},
      {"OpenDB bytes after the name", "1701200500804d0000", requestRoundTrip<OpenDbRequest>,
       ErrorCode::TrailingBytes, "1 bytes after the last field"},
      {"OpenDB without argument", "1700", requestRoundTrip<OpenDbRequest>,
       ErrorCode::MissingArgument, "argument 0x20 is missing"},
      {"CloseDB handle missing", "19012000", requestRoundTrip<CloseDbRequest>, ErrorCode::Truncated,
       "handle at offset 0 needs 1 bytes, 0 left"},
      {"CloseDB all with bytes", "1901210101", requestRoundTrip<CloseDbRequest>,
       ErrorCode::TrailingBytes, "holds 1 bytes"},
      {"ReadRecord by index cut", "200121060100000300 00", requestRoundTrip<ReadRecordRequest>,
       ErrorCode::Truncated, "count at offset 6 needs 2 bytes, 0 left"},
      {"WriteAppBlock size past the data", "1c01200601000005aabb",
       requestRoundTrip<WriteAppBlockRequest>, ErrorCode::Truncated,
       "block at offset 4 needs 5 bytes, 2 left"},
      {"user name not ending at its zero",
       "900100002020 000000000000000000000000 0000000000000000 0000000000000000 0200 4142",
       answerRoundTrip<UserInfo>, ErrorCode::BadValue, "does not end at its first zero"},
      {"user name past the end",
       "90010000201f 000000000000000000000000 0000000000000000 0000000000000000 0900 41",
       answerRoundTrip<UserInfo>, ErrorCode::Truncated, "needs 9 bytes, 1 left"},
      {"database info shorter than its header", "96010000200d 0000 00 01 2c 0000000000000000",
       answerRoundTrip<DbList>, ErrorCode::BadValue, "database info size 44 is below the 45"},
      {"database info past the end", "96010000200d 0000 00 02 2d 0000000000000000",
       answerRoundTrip<DbList>, ErrorCode::Truncated, "needs 44 bytes, 8 left"},
      {"FindDB without argument", "3901230100", requestRoundTrip<FindDbRequest>,
       ErrorCode::MissingArgument, "none of the arguments"},
      {"answer of another function", "97010000200101", answerRoundTrip<CreateDbAnswer>,
       ErrorCode::WrongFunction, "expected function 0x18"},
      {"error answer", "98000009", answerRoundTrip<CreateDbAnswer>, ErrorCode::BadValue,
       "carries error 0x0009"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto r = c.decode(hex(c.bytes));
    ASSERT_FALSE(r);
    EXPECT_EQ(r.error().code, c.code) << r.error().message;
    EXPECT_NE(r.error().message.find(c.part), std::string::npos) << r.error().message;
  }
}

TEST(DlpFunctions, NamesFunctions) {
  EXPECT_STREQ(functionName(kFindDb), "FindDB");
  EXPECT_STREQ(functionName(0x31), "ReadRecordIDList");
  EXPECT_EQ(functionName(0x7F), nullptr);
}

}  // namespace
}  // namespace lumora::link::dlp
