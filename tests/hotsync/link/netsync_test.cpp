#include "hotsync/link/netsync.h"

#include <gtest/gtest.h>

#include "tests/hotsync/link/hex.h"

namespace lumora::link {
namespace {

using test::hex;

struct Outcome {
  std::vector<NetSyncPacket> packets;
  std::string error;
  bool idle = true;
  bool operator==(const Outcome&) const = default;
};

// Feeds `stream` in pieces of `chunk` bytes (0: all at once).
Outcome feedAll(ByteView stream, size_t chunk, size_t limit, bool headerless) {
  NetSyncReader reader(limit, headerless);
  Outcome out;
  size_t at = 0;
  while (at < stream.size()) {
    size_t n = chunk == 0 ? stream.size() - at : std::min(chunk, stream.size() - at);
    ByteView piece = stream.subspan(at, n);
    at += n;
    while (true) {
      auto step = reader.feed(piece);
      EXPECT_LE(step.consumed, piece.size());
      piece = piece.subspan(step.consumed);
      if (step.status == NetSyncReader::Status::Error) {
        out.error = reader.error();
        // Sticky: nothing more is taken.
        auto again = reader.feed(piece);
        EXPECT_EQ(again.status, NetSyncReader::Status::Error);
        EXPECT_EQ(again.consumed, 0u);
        out.idle = reader.idle();
        return out;
      }
      if (step.status == NetSyncReader::Status::NeedMore) {
        EXPECT_TRUE(piece.empty());
        break;
      }
      out.packets.push_back(reader.take());
    }
  }
  out.idle = reader.idle();
  return out;
}

NetSyncPacket data(uint8_t xid, std::string_view payload) {
  return NetSyncPacket{kNetSyncData, xid, hex(payload), false};
}

struct StreamCase {
  const char* name;
  std::string_view stream;
  size_t limit;
  bool headerless;
  std::vector<NetSyncPacket> packets;
  std::string errorPart;  // empty: no error expected
  bool idle;
};

TEST(NetSyncReader, ReassemblesWholeAndByteByByteAlike) {
  const StreamCase cases[] = {
      {"one packet", "0103 00000002 1000", kDefaultMaxPayload, false, {data(3, "1000")}, "", true},
      {"two packets and a tickle",
       "0104 00000002 1000 0105 00000001 aa 0206 00000000",
       kDefaultMaxPayload,
       false,
       {data(4, "1000"), data(5, "aa"), NetSyncPacket{kNetSyncTickle, 6, {}, false}},
       "",
       true},
      {"empty payload", "01ff 00000000", kDefaultMaxPayload, false, {data(0xFF, "")}, "", true},
      {"ends inside the payload", "0107 00000004 0102", kDefaultMaxPayload, false, {}, "", false},
      {"ends inside the header", "0107 0000", kDefaultMaxPayload, false, {}, "", false},
      {"at the limit", "0101 00000004 01020304", 4, false, {data(1, "01020304")}, "", true},
      {"above the limit", "0101 00000005 0102030405", 4, false, {}, "announces 5 bytes", false},
      {"4 GiB announced",
       "0101 ffffffff 00",
       kDefaultMaxPayload,
       false,
       {},
       "announces 4294967295 bytes, more than the limit of 1048576",
       false},
      {"unknown type", "0701 00000000", kDefaultMaxPayload, false, {}, "packet type 7", false},
      {"headerless first packet",
       "9001 00000000000000 20 000000 08 0100000000000000 0101 00000001 00",
       kDefaultMaxPayload,
       true,
       {NetSyncPacket{kNetSyncData, 0xFF, handheldHello(1), true}, data(1, "00")},
       "",
       true},
      {"headerless refused",
       "900100000000",
       kDefaultMaxPayload,
       false,
       {},
       "packet type 144",
       false},
      {"after an error nothing",
       "0101 00000001 aa 0501 00000000 0101 00000000",
       kDefaultMaxPayload,
       false,
       {data(1, "aa")},
       "packet type 5",
       false},
  };
  for (const StreamCase& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes stream = hex(c.stream);
    Outcome whole = feedAll(stream, 0, c.limit, c.headerless);
    Outcome bytewise = feedAll(stream, 1, c.limit, c.headerless);
    EXPECT_EQ(whole, bytewise);
    EXPECT_EQ(whole.packets, c.packets);
    if (c.errorPart.empty()) {
      EXPECT_EQ(whole.error, "");
      EXPECT_EQ(whole.idle, c.idle);
    } else {
      EXPECT_NE(whole.error.find(c.errorPart), std::string::npos) << whole.error;
    }
  }
}

TEST(NetSyncReader, RefusesAnOversizedPacketBeforeItsPayloadArrives) {
  NetSyncReader reader;
  Bytes header = hex("0101 7fffffff");
  auto step = reader.feed(header);
  EXPECT_EQ(step.status, NetSyncReader::Status::Error);
  EXPECT_EQ(step.consumed, header.size());
}

TEST(NetSync, EncodesTheHeaderBeforeThePayload) {
  EXPECT_EQ(encodeNetSync(kNetSyncData, 0x0A, hex("2f0120020000")),
            hex("010a00000006 2f0120020000"));
  EXPECT_EQ(encodeNetSync(kNetSyncTickle, 3, {}), hex("0203 00000000"));
}

TEST(NetSync, TransactionIdsSkipZeroAndFF) {
  EXPECT_EQ(nextXid(1), 2);
  EXPECT_EQ(nextXid(0xFD), 0xFE);
  EXPECT_EQ(nextXid(0xFE), 1);
  EXPECT_EQ(nextXid(0xFF), 1);
}

TEST(NetSync, HandshakePacketsMatchRecordedOnes) {
  // From a recorded session of a handheld with ROM 5.4.
  EXPECT_EQ(encodeNetSync(kNetSyncData, 1, desktopHello()),
            hex("0101000000321201000000000000002000000024ffffffff3c003c000000000000000000c0a80121"
                "04270000000000000000000000000000"));
  EXPECT_EQ(encodeNetSync(kNetSyncData, 2, desktopHelloAck()),
            hex("01020000002e1301000000000000002000000020ffffffff003c003c0000000000000001000000"
                "00000000000000000000000000"));
  EXPECT_EQ(handheldHello(2), hex("9001 00000000000000 20 000000 08 0200000000000000"));
  EXPECT_EQ(handheldReady(), hex("9300000000000000"));
  EXPECT_EQ(handheldHelloAck().size(), 50u);

  EXPECT_TRUE(isHandheldHello(handheldHello(1)));
  EXPECT_TRUE(isDesktopHello(desktopHello()));
  EXPECT_TRUE(isHandheldHelloAck(handheldHelloAck()));
  EXPECT_TRUE(isDesktopHelloAck(desktopHelloAck()));
  EXPECT_TRUE(isHandheldReady(handheldReady()));
  // A DLP request where the handshake should begin, or a short packet.
  EXPECT_FALSE(isHandheldHello(hex("1000")));
  EXPECT_FALSE(isHandheldHello(hex("9001 00000000000000 20 000000 08")));
  EXPECT_FALSE(isDesktopHello(hex("12")));
}

}  // namespace
}  // namespace lumora::link
