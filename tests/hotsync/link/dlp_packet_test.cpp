#include "hotsync/link/dlp_packet.h"

#include <gtest/gtest.h>

#include "tests/hotsync/link/hex.h"

namespace lumora::link {
namespace {

using test::hex;

TEST(DlpPacket, RecordedPacketsReencodeToTheSameBytes) {
  const char* requests[] = {
      "1000",                          // no arguments
      "1201200400010004",              // tiny
      "2001200a0100004570010000ffff",  // by id
      "1601a00000040a000000",          // small wrapper for 4 bytes
      "1601600000000004a0000000",      // long wrapper for 4 bytes
      "1902200101210100",              // two arguments
  };
  for (const char* text : requests) {
    SCOPED_TRACE(text);
    Bytes bytes = hex(text);
    auto decoded = decodeRequest(bytes);
    ASSERT_TRUE(decoded) << decoded.error().message;
    auto again = encodeRequest(*decoded);
    ASSERT_TRUE(again);
    EXPECT_EQ(*again, bytes);
  }
  const char* answers[] = {
      "af000000",
      "9a000005",
      "97010000200101",
      "9b010000a00000040102ffff",
      "92020000200e0410300000010000000400020000210c00010002000300000000ffe1",
  };
  for (const char* text : answers) {
    SCOPED_TRACE(text);
    Bytes bytes = hex(text);
    auto decoded = decodeResponse(bytes);
    ASSERT_TRUE(decoded) << decoded.error().message;
    auto again = encodeResponse(*decoded);
    ASSERT_TRUE(again);
    EXPECT_EQ(*again, bytes);
  }
}

TEST(DlpPacket, DecodingKeepsFieldsAndWrappers) {
  auto r = decodeResponse(hex("9b020005 2001aa a00000020102"));
  ASSERT_TRUE(r);
  EXPECT_EQ(r->function, 0x1B);
  EXPECT_EQ(r->error, 5);
  ASSERT_EQ(r->args.size(), 2u);
  EXPECT_EQ(r->args[0], (Argument{0x20, {0xAA}, Wrapper::Tiny}));
  EXPECT_EQ(r->args[1], (Argument{0x20, {1, 2}, Wrapper::Small}));
}

TEST(DlpPacket, AutoPicksTheSmallestWrapper) {
  struct Case {
    size_t size;
    size_t header;
    uint8_t first;
  };
  const Case cases[] = {
      {0, 2, 0x20}, {255, 2, 0x20}, {256, 4, 0xA0}, {65535, 4, 0xA0}, {65536, 6, 0x60}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    auto bytes = encodeRequest(Request{0x21, {Argument{0x20, Bytes(c.size, 7), Wrapper::Auto}}});
    ASSERT_TRUE(bytes);
    EXPECT_EQ(bytes->size(), 2 + c.header + c.size);
    EXPECT_EQ((*bytes)[2], c.first);
  }
}

TEST(DlpPacket, EncodingRefusesWhatDoesNotFit) {
  struct Case {
    const char* name;
    Request request;
    const char* part;
  };
  const Case cases[] = {
      {"tiny too small",
       {0x21, {Argument{0x20, Bytes(256), Wrapper::Tiny}}},
       "256 bytes, a tiny wrapper at most 255"},
      {"small too small",
       {0x21, {Argument{0x20, Bytes(65536), Wrapper::Small}}},
       "65536 bytes, a small wrapper at most 65535"},
      {"answer bit", {0x90, {}}, "has bit 0x80"},
      {"id above 63", {0x10, {Argument{0x40, {}, Wrapper::Auto}}}, "id 64"},
      {"too many arguments", {0x10, std::vector<Argument>(256)}, "256 arguments"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto bytes = encodeRequest(c.request);
    ASSERT_FALSE(bytes);
    EXPECT_NE(bytes.error().message.find(c.part), std::string::npos) << bytes.error().message;
  }
}

TEST(DlpPacket, DecodingRefusesMalformedPackets) {
  struct Case {
    const char* name;
    bool answer;
    const char* bytes;
    ErrorCode code;
    const char* part;
  };
  const Case cases[] = {
      {"empty request", false, "", ErrorCode::Truncated, "0 bytes"},
      {"missing argument", false, "1001", ErrorCode::Truncated, "before argument 0 of 1"},
      {"tiny length past the end", false, "10012005aabb", ErrorCode::Truncated,
       "announces 5 bytes, 2 left"},
      {"tiny header cut", false, "100120", ErrorCode::Truncated, "needs 2 bytes, 1 left"},
      {"small header cut", false, "1001a000", ErrorCode::Truncated, "needs 4 bytes, 2 left"},
      {"long header cut", false, "100160000000", ErrorCode::Truncated, "needs 6 bytes, 4 left"},
      {"long length past the end", false, "10016000ffffffff00", ErrorCode::Truncated,
       "announces 4294967295 bytes, 1 left"},
      {"both wrapper bits", false, "1001e00000", ErrorCode::BadWrapper, "wrapper byte 224"},
      {"reserved byte", false, "1001a0010001ff", ErrorCode::BadWrapper, "reserved byte 1"},
      {"trailing bytes", false, "10012001aa00", ErrorCode::TrailingBytes, "1 bytes after"},
      {"answer as request", false, "9000", ErrorCode::WrongFunction, "starts an answer"},
      {"short answer", true, "900000", ErrorCode::Truncated, "3 bytes, at least 4"},
      {"request as answer", true, "10000000", ErrorCode::WrongFunction, "starts a request"},
      {"answer argument past the end", true, "900100002003aa", ErrorCode::Truncated,
       "announces 3 bytes, 1 left"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes bytes = hex(c.bytes);
    Error e;
    if (c.answer) {
      auto r = decodeResponse(bytes);
      ASSERT_FALSE(r);
      e = r.error();
    } else {
      auto r = decodeRequest(bytes);
      ASSERT_FALSE(r);
      e = r.error();
    }
    EXPECT_EQ(e.code, c.code);
    EXPECT_NE(e.message.find(c.part), std::string::npos) << e.message;
  }
}

}  // namespace
}  // namespace lumora::link
