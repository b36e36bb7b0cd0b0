#include "hotsync/link/netsync_link.h"

#include <gtest/gtest.h>

#include <functional>

#include "hotsync/link/scripted_stream.h"
#include "tests/hotsync/link/hex.h"

namespace lumora::link {
namespace {

using test::hex;
using Split = ScriptedStream::Split;

// What a run of receives saw: each message (hex) or the final status and error.
struct Outcome {
  std::vector<Bytes> messages;
  StreamStatus last = StreamStatus::Ok;
  std::string error;
  Bytes written;
  bool operator==(const Outcome&) const = default;
};

using Script = std::function<void(ScriptedStream&)>;

Bytes packet(uint8_t type, uint8_t xid, std::string_view payloadHex) {
  return encodeNetSync(type, xid, hex(payloadHex));
}

// Receives until something other than a message comes; a desktop sends `requests` first.
Outcome receiveAll(Split split, const Script& script, LinkRole role, bool withClock,
                   int requests = 0) {
  ScriptedStream stream(split, 7);
  script(stream);
  NetSyncLink::Clock clock;
  if (withClock) clock = [&stream] { return stream.now(); };
  NetSyncLink link(stream, role, clock);
  for (int i = 0; i < requests; ++i) EXPECT_TRUE(link.send(hex("10 00")));
  Outcome out;
  for (int guard = 0; guard < 100; ++guard) {
    LinkMessage got = link.receive(100);
    if (got.status != StreamStatus::Ok) {
      out.last = got.status;
      out.error = got.error;
      break;
    }
    out.messages.push_back(got.message);
  }
  out.written = stream.written();
  return out;
}

struct ReceiveCase {
  const char* name;
  LinkRole role;
  Script script;
  std::vector<std::string_view> messages;
  StreamStatus last;
  std::string_view error;  // a part of the final error text
  int requests = 0;
};

TEST(NetSyncLink, ReceivesTheSameWhateverTheSplit) {
  const ReceiveCase cases[] = {
      {"two packets in one piece",
       LinkRole::Handheld,
       [](ScriptedStream& s) {
         Bytes both = packet(1, 3, "10 00");
         Bytes second = packet(1, 4, "12 01 20 04 00 01 00 02");
         both.insert(both.end(), second.begin(), second.end());
         s.deliver(both);
       },
       {"10 00", "12 01 20 04 00 01 00 02"},
       StreamStatus::Closed,
       "closed"},
      {"keep-alives are skipped",
       LinkRole::Handheld,
       [](ScriptedStream& s) {
         s.deliver(packet(2, 0, ""));
         s.deliver(packet(1, 9, "2e 00"));
         s.deliver(packet(2, 0, ""));
       },
       {"2e 00"},
       StreamStatus::Closed,
       "closed"},
      {"packet above the limit",
       LinkRole::Handheld,
       [](ScriptedStream& s) { s.deliver(hex("01 03 ff ff ff ff 10 00")); },
       {},
       StreamStatus::Failed,
       "more than the limit"},
      {"end in the header",
       LinkRole::Handheld,
       [](ScriptedStream& s) { s.deliver(hex("01 03 00")); },
       {},
       StreamStatus::Failed,
       "middle of a packet"},
      {"end in the payload",
       LinkRole::Handheld,
       [](ScriptedStream& s) {
         s.deliver(packet(1, 3, "10 00"));
         s.deliver(hex("01 04 00 00 00 05 aa bb"));
       },
       {"10 00"},
       StreamStatus::Failed,
       "middle of a packet"},
      {"broken stream",
       LinkRole::Handheld,
       [](ScriptedStream& s) {
         s.deliver(hex("01 03 00 00"));
         s.fail();
       },
       {},
       StreamStatus::Failed,
       "broke"},
      {"unknown packet type",
       LinkRole::Handheld,
       [](ScriptedStream& s) { s.deliver(packet(7, 3, "10 00")); },
       {},
       StreamStatus::Failed,
       "type 7"},
      {"silence ends a receive",
       LinkRole::Handheld,
       [](ScriptedStream& s) {
         s.deliver(packet(1, 3, "10 00"));
         s.silence();
         s.deliver(packet(1, 4, "11 00"));
       },
       {"10 00"},
       StreamStatus::Timeout,
       "time-out"},
      {"desktop takes the headerless first packet",
       LinkRole::Desktop,
       [](ScriptedStream& s) { s.deliver(handheldHello(2)); },
       {"90 01 00 00 00 00 00 00 00 20 00 00 00 08 02 00 00 00 00 00 00 00"},
       StreamStatus::Closed,
       "closed"},
      {"desktop refuses an answer to another request",
       LinkRole::Desktop,
       [](ScriptedStream& s) { s.deliver(packet(1, 1, "90 00 00 00")); },
       {},
       StreamStatus::Failed,
       "transaction id 1 where 2 was due",
       2},
      {"desktop refuses a second answer",
       LinkRole::Desktop,
       [](ScriptedStream& s) {
         s.deliver(packet(1, 1, "90 00 00 00"));
         s.deliver(packet(1, 1, "90 00 00 00"));
       },
       {"90 00 00 00"},
       StreamStatus::Failed,
       "transaction id 1 while no request was out",
       1},
      {"desktop refuses an unasked packet",
       LinkRole::Desktop,
       [](ScriptedStream& s) { s.deliver(packet(1, 5, "90 00 00 00")); },
       {},
       StreamStatus::Failed,
       "transaction id 5 where 255 was due"},
  };
  for (const ReceiveCase& c : cases) {
    SCOPED_TRACE(c.name);
    Outcome whole = receiveAll(Split::Whole, c.script, c.role, false, c.requests);
    std::vector<Bytes> expected;
    for (auto m : c.messages) expected.push_back(hex(m));
    EXPECT_EQ(whole.messages, expected);
    EXPECT_EQ(whole.last, c.last);
    EXPECT_NE(whole.error.find(c.error), std::string::npos) << whole.error;
    for (Split split : {Split::ByteWise, Split::Random})
      EXPECT_EQ(receiveAll(split, c.script, c.role, false, c.requests), whole);
  }
}

TEST(NetSyncLink, ClockBoundsATricklingPeer) {
  Script trickle = [](ScriptedStream& s) {
    for (uint8_t b : packet(1, 3, "10 00")) {
      s.deliver(ByteView(&b, 1));
      s.silence();
    }
  };
  Outcome timed = receiveAll(Split::Whole, trickle, LinkRole::Handheld, true);
  EXPECT_TRUE(timed.messages.empty());
  EXPECT_EQ(timed.last, StreamStatus::Timeout);
  // Keep-alives from the desktop give the handheld's wait a new time-out.
  Script tickling = [](ScriptedStream& s) {
    for (int i = 0; i < 5; ++i) {
      s.deliver(packet(2, 0, ""));
      s.silence();
    }
  };
  Outcome kept = receiveAll(Split::Whole, tickling, LinkRole::Handheld, true);
  EXPECT_EQ(kept.last, StreamStatus::Timeout);
}

TEST(NetSyncLink, NumbersRequestsAndEchoesThemInAnswers) {
  ScriptedStream desktopSide;
  NetSyncLink desktop(desktopSide, LinkRole::Desktop);
  Bytes expected;
  uint8_t xid = 0;
  for (int i = 0; i < 300; ++i) {
    ASSERT_TRUE(desktop.send(hex("10 00")));
    xid = nextXid(xid);
    Bytes one = packet(1, xid, "10 00");
    expected.insert(expected.end(), one.begin(), one.end());
  }
  EXPECT_EQ(desktopSide.written(), expected);
  EXPECT_EQ(xid, 300 - 254);

  ScriptedStream handheldSide;
  handheldSide.deliver(packet(1, 0x42, "10 00"));
  NetSyncLink handheld(handheldSide, LinkRole::Handheld);
  ASSERT_TRUE(handheld.send(hex("90 01")));  // before any request: the first-packet id
  ASSERT_EQ(handheld.receive(100).status, StreamStatus::Ok);
  ASSERT_TRUE(handheld.send(hex("90 00 00 00")));
  Bytes answers = packet(1, 0xFF, "90 01");
  Bytes answer = packet(1, 0x42, "90 00 00 00");
  answers.insert(answers.end(), answer.begin(), answer.end());
  EXPECT_EQ(handheldSide.written(), answers);
}

TEST(NetSyncLink, FailedWriteBreaksTheLink) {
  ScriptedStream stream;
  stream.failWritesAfter(4);
  stream.deliver(packet(1, 3, "10 00"));
  NetSyncLink link(stream, LinkRole::Handheld);
  EXPECT_FALSE(link.send(hex("90 00 00 00")));
  EXPECT_EQ(stream.written().size(), 4u);
  EXPECT_EQ(link.receive(100).status, StreamStatus::Failed);
  EXPECT_FALSE(link.send(hex("90 00 00 00")));
}

// Both handshakes against the packets the other side sends, in every split.
TEST(NetSyncHandshake, BothSidesAgainstScriptedPeers) {
  for (Split split : {Split::Whole, Split::ByteWise, Split::Random}) {
    ScriptedStream toHandheld(split, 3);
    toHandheld.deliver(encodeNetSync(1, 1, desktopHello()));
    toHandheld.deliver(encodeNetSync(1, 2, desktopHelloAck()));
    toHandheld.deliver(packet(1, 3, "10 00"));
    NetSyncLink handheld(toHandheld, LinkRole::Handheld);
    ASSERT_TRUE(handheldHandshake(handheld, 100));
    LinkMessage first = handheld.receive(100);
    EXPECT_EQ(first.message, hex("10 00"));
    Bytes expected = encodeNetSync(1, 0xFF, handheldHello());
    for (const Bytes& p :
         {encodeNetSync(1, 1, handheldHelloAck()), encodeNetSync(1, 2, handheldReady())})
      expected.insert(expected.end(), p.begin(), p.end());
    EXPECT_EQ(toHandheld.written(), expected);

    // The desktop answers what the handheld wrote, and its packets are the ones above.
    ScriptedStream toDesktop(split, 5);
    toDesktop.deliver(expected);
    NetSyncLink desktop(toDesktop, LinkRole::Desktop);
    ASSERT_TRUE(desktopHandshake(desktop, 100));
    ASSERT_TRUE(desktop.send(hex("10 00")));
    Bytes desktopWrote = encodeNetSync(1, 1, desktopHello());
    for (const Bytes& p : {encodeNetSync(1, 2, desktopHelloAck()), packet(1, 3, "10 00")})
      desktopWrote.insert(desktopWrote.end(), p.begin(), p.end());
    EXPECT_EQ(toDesktop.written(), desktopWrote);
  }
}

TEST(NetSyncHandshake, RefusalsAndBreaks) {
  struct Case {
    const char* name;
    bool desktop;
    Script script;
    StreamStatus status;
    std::string_view error;
  };
  const Case cases[] = {
      {"a DLP request instead of the handshake", true,
       [](ScriptedStream& s) { s.deliver(packet(1, 0xFF, "10 00")); }, StreamStatus::Failed,
       "did not begin with a NetSync handshake: got a packet of 2 bytes beginning 10 00"},
      {"an HTTP request", true, [](ScriptedStream& s) { s.deliver(hex("47 45 54 20 2f 20")); },
       StreamStatus::Failed, "unknown NetSync packet type 71"},
      {"silence", true, [](ScriptedStream& s) { s.silence(); }, StreamStatus::Timeout,
       "nothing came"},
      {"closed after the hello", true,
       [](ScriptedStream& s) { s.deliver(encodeNetSync(1, 0xFF, handheldHello())); },
       StreamStatus::Closed, "second packet"},
      {"wrong second packet", true,
       [](ScriptedStream& s) {
         s.deliver(encodeNetSync(1, 0xFF, handheldHello()));
         s.deliver(packet(1, 1, "93 00"));
       },
       StreamStatus::Failed, "expected the handheld's second packet"},
      {"handheld: desktop sends DLP at once", false,
       [](ScriptedStream& s) { s.deliver(packet(1, 1, "10 00")); }, StreamStatus::Failed,
       "expected the desktop's first packet"},
      {"handheld: desktop goes quiet", false,
       [](ScriptedStream& s) {
         s.deliver(encodeNetSync(1, 1, desktopHello()));
         s.silence();
       },
       StreamStatus::Timeout, "desktop's second packet"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedStream stream;
    c.script(stream);
    NetSyncLink link(stream, c.desktop ? LinkRole::Desktop : LinkRole::Handheld);
    HandshakeResult r = c.desktop ? desktopHandshake(link, 100) : handheldHandshake(link, 100);
    EXPECT_EQ(r.status, c.status);
    EXPECT_NE(r.error.find(c.error), std::string::npos) << r.error;
  }
}

}  // namespace
}  // namespace lumora::link
