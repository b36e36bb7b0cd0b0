#include "hotsync/link/replay.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <tuple>

#include "hotsync/link/event_list.h"
#include "hotsync/link/netsync.h"

namespace lumora::link {
namespace {

std::string sessionText(const std::string& name) {
  std::ifstream in(std::string(LUMORA_TESTDATA_DIR) + "/hotsync-sessions/" + name);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// The same events with every byte in an event of its own.
std::string byteByByte(const std::string& json) {
  auto events = parseEventList(json);
  EXPECT_TRUE(events);
  std::string out = "[";
  static const char digits[] = "0123456789abcdef";
  for (const StreamEvent& e : *events) {
    for (uint8_t b : e.data) {
      if (out.size() > 1) out += ",";
      out += std::string("{\"type\":\"") + (e.fromHandheld ? "read" : "write") + "\",\"data\":\"" +
             digits[b >> 4] + digits[b & 15] + "\"}";
    }
  }
  return out + "]";
}

TEST(Replay, RecordedSessionRoundTripsWholeAndByteByByte) {
  std::string json = sessionText("read-memo-test.net.json");
  ASSERT_FALSE(json.empty());
  ReplayReport whole = replaySession(json);
  EXPECT_TRUE(whole.ok()) << whole.failure;
  EXPECT_EQ(whole.packets, 25u);
  EXPECT_EQ(whole.summary(), "25/25 packets round-trip");
  ASSERT_GE(whole.lines.size(), 6u);
  EXPECT_EQ(whole.lines[0], "handheld xid FF  handshake 1 (22 bytes)");
  EXPECT_NE(whole.lines[5].find("desktop  xid 03  ReadSysInfo host DLP 1.4"), std::string::npos)
      << whole.lines[5];

  ReplayReport split = replaySession(byteByByte(json));
  EXPECT_EQ(split.lines, whole.lines);
  EXPECT_EQ(split.summary(), whole.summary());
}

std::string toHex(ByteView bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (uint8_t b : bytes) {
    out += digits[b >> 4];
    out += digits[b & 15];
  }
  return out;
}

// A recording made of whole packets: (from the handheld?, xid, payload).
std::string recording(const std::vector<std::tuple<bool, uint8_t, Bytes>>& packets) {
  std::string out = "[";
  for (const auto& [fromHandheld, xid, payload] : packets) {
    if (out.size() > 1) out += ",\n";
    out += std::string("{\"type\": \"") + (fromHandheld ? "read" : "write") + "\", \"data\": \"" +
           toHex(encodeNetSync(kNetSyncData, xid, payload)) + "\"}";
  }
  return out + "]";
}

TEST(Replay, ReportsPacketsThatDoNotRoundTrip) {
  std::string json = recording({
      {true, 0xFF, handheldHello()},
      {false, 1, desktopHello()},
      {true, 1, handheldHelloAck()},
      {false, 2, desktopHelloAck()},
      {true, 2, handheldReady()},
      {false, 3, Bytes{0x12, 0x01, 0x20, 0x04, 0x00, 0x01, 0x00, 0x04}},
      // The product id length (9) runs past the argument.
      {true, 3, Bytes{0x92, 0x01, 0x00, 0x00, 0x20, 0x0B, 0, 0, 0, 1, 0, 0, 0, 0, 0, 9, 0xAA}},
      // An answer where a request belongs.
      {false, 4, Bytes{0x90, 0x00}},
      {true, 4, Bytes{0x93, 0x00}},
  });
  ReplayReport r = replaySession(json);
  EXPECT_TRUE(r.failure.empty()) << r.failure;
  EXPECT_FALSE(r.ok());
  EXPECT_EQ(r.summary(), "6/9 packets round-trip");
  ASSERT_EQ(r.lines.size(), 9u);
  EXPECT_EQ(r.lines[5], "desktop  xid 03  ReadSysInfo host DLP 1.4");
  EXPECT_EQ(r.lines[6],
            "handheld xid 03  ReadSysInfo answer: product id at offset 10 needs 9 "
            "bytes, 1 left  -- does not round-trip");
  EXPECT_EQ(r.lines[7],
            "desktop  xid 04  request: byte 144 starts an answer, not a request  -- does not "
            "round-trip");
  EXPECT_EQ(r.lines[8],
            "handheld xid 04  answer: answer of 2 bytes, at least 4 needed  -- does "
            "not round-trip");
}

TEST(Replay, SerialSessionCountsEveryFrame) {
  ReplayReport r = replaySession(sessionText("no-op-test.serial-net.json"));
  EXPECT_TRUE(r.ok()) << r.failure;
  EXPECT_EQ(r.summary(), "62/62 packets round-trip");
  ASSERT_GE(r.lines.size(), 29u);
  EXPECT_EQ(r.lines[0], "handheld xid 15  loop-back");
  EXPECT_EQ(r.lines[10],
            "handheld xid FF  data 10 bytes at 0: CMP wakeup flags 0x10 version 1.3 "
            "baud 115200");
  EXPECT_EQ(r.lines[11], "desktop  xid FF  ack 10");
  EXPECT_EQ(r.lines[13], "handheld xid FF  data 10 bytes at 0, repeated");
  EXPECT_EQ(r.lines[24], "desktop  xid 01  data 8 bytes at 0: ReadSysInfo host DLP 1.4");
  EXPECT_EQ(r.lines[25], "handheld xid 01  ack long 8");
}

// The framing is taken from the handheld's first bytes however the recording cut them.
TEST(Replay, FramingDecidedHoweverTheFirstEventsAreCut) {
  // The first event cut after its first byte (for serial: the lone BE).
  auto firstByteAlone = [](const std::string& json) {
    auto events = parseEventList(json);
    EXPECT_TRUE(events && !events->empty() && events->front().data.size() > 1);
    std::string out = "[";
    bool first = true;
    for (const StreamEvent& e : *events) {
      std::vector<ByteView> pieces{e.data};
      if (first) pieces = {ByteView(e.data).first(1), ByteView(e.data).subspan(1)};
      first = false;
      for (ByteView p : pieces) {
        if (out.size() > 1) out += ",";
        out += std::string("{\"type\":\"") + (e.fromHandheld ? "read" : "write") +
               "\",\"data\":\"" + toHex(p) + "\"}";
      }
    }
    return out + "]";
  };
  struct Case {
    const char* file;
    const char* summary;
  };
  const Case cases[] = {
      {"no-op-test.serial-net.json", "62/62 packets round-trip"},
      {"read-db-test.usb.json", "101/101 packets round-trip"},
      {"read-memo-test.net.json", "25/25 packets round-trip"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    std::string json = sessionText(c.file);
    ASSERT_FALSE(json.empty());
    ReplayReport whole = replaySession(json);
    EXPECT_TRUE(whole.ok()) << whole.failure;
    EXPECT_EQ(whole.summary(), c.summary);
    // Line noise before the handheld's first frame is dropped, as serve drops it.
    std::string noisy = R"([{"type": "read", "data": "0d0a00"},)" + json.substr(json.find('[') + 1);
    for (const std::string& cut : {firstByteAlone(json), byteByByte(json), noisy}) {
      ReplayReport again = replaySession(cut);
      EXPECT_EQ(again.failure, whole.failure);
      EXPECT_EQ(again.lines, whole.lines);
    }
  }
}

TEST(Replay, SerialMessageThatDoesNotDecodeIsNamed) {
  // A desktop data frame whose DLP request is a lone byte.
  ReplayReport r =
      replaySession(R"([{"type": "write", "data": "beefed030302000501a801c000011002e2"}])");
  ASSERT_EQ(r.lines.size(), 1u) << r.failure;
  EXPECT_FALSE(r.ok());
  EXPECT_NE(r.lines[0].find("-- does not round-trip"), std::string::npos) << r.lines[0];
}

TEST(Replay, RefusesWhatItCannotReplay) {
  struct Case {
    const char* name;
    std::string json;
    const char* failure;
  };
  const Case cases[] = {
      // A serial frame with its CRC damaged, and one cut short.
      {"serial bad CRC", R"([{"type": "read", "data": "beefed030303000015b8ab21"}])",
       "did not end cleanly"},
      {"serial cut", R"([{"type": "read", "data": "beefed030303000015b8ab"}])",
       "did not end cleanly"},
      {"not a list", R"({"type": "read"})", "line 1, column 1: expected '[' to start"},
      {"unknown key", "[\n {\"type\": \"read\", \"data\": \"\", \"when\": \"now\"}]",
       "line 2, column 39: unexpected key \"when\""},
      {"missing data", R"([{"type": "read"}])", "an event needs \"type\" and \"data\""},
      {"key twice", R"([{"type": "read", "type": "write"}])", "key \"type\" given twice"},
      {"bad type", R"([{"type": "peek", "data": ""}])", "neither \"read\" nor \"write\""},
      {"odd hex", R"([{"type": "read", "data": "abc"}])", "even number of hex digits"},
      {"not hex", R"([{"type": "read", "data": "zz"}])", "even number of hex digits"},
      {"number", R"([{"type": "read", "data": 12}])", "expected a string"},
      {"unterminated", R"([{"type": "read", "data": "00)", "unterminated string"},
      {"text after", R"([] x)", "text after the event list"},
      {"stream cut", R"([{"type": "read", "data": "01ff000000"}])", "did not end cleanly"},
      {"huge packet", R"([{"type": "read", "data": "01ffffffffff"}])", "did not end cleanly"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ReplayReport r = replaySession(c.json);
    EXPECT_FALSE(r.ok());
    EXPECT_NE(r.failure.find(c.failure), std::string::npos) << r.failure;
  }
}

TEST(EventList, ReadsBothDirectionsAndEscapes) {
  auto events = parseEventList(
      " [ {\"data\": \"00FF\", \"type\": \"write\"},\n"
      "{\"type\": \"re\\u0061d\", \"data\": \"\"} ] ");
  EXPECT_FALSE(events);  // \u escapes are not part of the format
  events = parseEventList(
      "[{\"data\": \"00FF\", \"type\": \"write\"},{\"type\": \"read\", "
      "\"data\": \"\"}]");
  ASSERT_TRUE(events) << events.error().message;
  ASSERT_EQ(events->size(), 2u);
  EXPECT_EQ((*events)[0], (StreamEvent{false, {0x00, 0xFF}}));
  EXPECT_EQ((*events)[1], (StreamEvent{true, {}}));
  EXPECT_TRUE(parseEventList("[]"));
}

}  // namespace
}  // namespace lumora::link
