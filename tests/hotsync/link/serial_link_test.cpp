// The serial link against a scripted line: the CMP exchange, acknowledgements, resending
// on a silent line with a fake clock, duplicates, loop-back and damaged frames.
#include "hotsync/link/serial_link.h"

#include <gtest/gtest.h>

#include "hotsync/link/cmp.h"
#include "hotsync/link/scripted_stream.h"

namespace lumora::link {
namespace {

Bytes frame(uint8_t xid, const PadpPacket& packet, uint8_t type = kSlpTypePadp) {
  return encodeSlp(SlpFrame{3, 3, type, xid, *encodePadp(packet)});
}
Bytes data(uint8_t xid, ByteView message, uint8_t flags = kPadpFirst | kPadpLast) {
  return frame(xid, PadpPacket{kPadpData, flags, static_cast<uint32_t>(message.size()),
                               Bytes(message.begin(), message.end())});
}
Bytes ack(uint8_t xid, uint32_t sizeOrOffset, uint8_t flags = kPadpFirst | kPadpLast) {
  return frame(xid, PadpPacket{kPadpAck, flags, sizeOrOffset, {}});
}

// The frames a stream received, decoded.
std::vector<SlpFrame> framesOf(const Bytes& written) {
  SlpReader reader;
  std::vector<SlpFrame> out;
  ByteView rest(written);
  while (!rest.empty()) {
    auto step = reader.feed(rest);
    rest = rest.subspan(step.consumed);
    if (step.status == SlpReader::Status::NeedMore) break;
    out.push_back(reader.take());
  }
  return out;
}

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

const Bytes kWakeupMessage = encodeCmp(CmpPacket{kCmpWakeup, kCmpLongPadp, 1, 2, 0, 57600});

TEST(SerialLink, DesktopAnswersTheWakeupWithInitWholeAndByteWise) {
  for (auto split : {ScriptedStream::Split::Whole, ScriptedStream::Split::ByteWise}) {
    ScriptedStream line(split);
    line.deliver(encodeSlp(SlpFrame{3, 3, kSlpTypeLoopback, 1, {}}));
    line.deliver(data(0xFF, kWakeupMessage));
    line.deliver(data(0xFF, kWakeupMessage));  // repeated before our ack arrived
    line.deliver(ack(0xFF, kCmpSize));
    SerialLink link(line, LinkRole::Desktop, [&] { return line.now(); });
    CmpOutcome cmp = desktopCmp(link, 115200, kCmpStartBaud);
    ASSERT_TRUE(cmp) << cmp.error;
    EXPECT_EQ(cmp.baud, 57600u);
    EXPECT_TRUE(cmp.longForm);
    auto sent = framesOf(line.written());
    ASSERT_EQ(sent.size(), 3u);  // ack, INIT, ack of the repeat
    EXPECT_EQ(sent[0], framesOf(ack(0xFF, kCmpSize))[0]);
    auto init = decodeCmp(decodePadp(sent[1].payload)->data);
    ASSERT_TRUE(init);
    EXPECT_EQ(init->flags, kCmpChangeBaud | kCmpLongPadp);
    EXPECT_EQ(sent[2], sent[0]);
  }
}

TEST(SerialLink, AnythingButAWakeupEndsTheDesktopsWait) {
  ScriptedStream line;
  line.deliver(data(0xFF, Bytes{0x10, 0x00}));
  SerialLink link(line, LinkRole::Desktop, [&] { return line.now(); });
  CmpOutcome cmp = desktopCmp(link, 115200, kCmpStartBaud);
  EXPECT_FALSE(cmp);
  EXPECT_NE(
      cmp.error.find("did not begin with a serial HotSync wakeup: got 2 bytes beginning 10 00"),
      std::string::npos)
      << cmp.error;
}

TEST(SerialLink, AFragmentIsResentUntilAcknowledged) {
  ScriptedStream line;
  line.silence();
  line.silence();
  line.deliver(ack(1, 3));
  line.deliver(data(1, Bytes{0x90, 0x00, 0x00}));
  SerialLink link(line, LinkRole::Desktop, [&] { return line.now(); });
  ASSERT_TRUE(link.send(Bytes{0x10, 0x00, 0x00}));
  EXPECT_EQ(line.now(), 4000);
  EXPECT_EQ(link.stats().framesResent, 2u);
  auto sent = framesOf(line.written());
  ASSERT_EQ(sent.size(), 3u);
  EXPECT_EQ(sent[0], sent[2]);
  LinkMessage answer = link.receive(kDlpTimeoutMs);
  ASSERT_EQ(answer.status, StreamStatus::Ok) << answer.error;
  EXPECT_EQ(answer.message, (Bytes{0x90, 0x00, 0x00}));
}

TEST(SerialLink, ASilentLineEndsWithinTheTimeOutsAndTheNextHotSyncWorks) {
  ScriptedStream line;
  for (int i = 0; i < 11; ++i) line.silence();
  line.deliver(data(0xFF, kWakeupMessage));
  line.deliver(ack(0xFF, kCmpSize));
  {
    SerialLink link(line, LinkRole::Desktop, [&] { return line.now(); });
    EXPECT_FALSE(link.send(Bytes{0x10, 0x00}));
    EXPECT_EQ(link.error(), "the handheld did not acknowledge a fragment after 10 resends");
    EXPECT_LE(line.now(), kDlpTimeoutMs);
    EXPECT_EQ(link.receive(100).status, StreamStatus::Timeout);  // a failed send is final
    EXPECT_EQ(framesOf(line.written()).size(), 11u);
  }
  SerialLink next(line, LinkRole::Desktop, [&] { return line.now(); });
  CmpOutcome cmp = desktopCmp(next, 115200, kCmpStartBaud);
  EXPECT_TRUE(cmp) << cmp.error;
}

TEST(SerialLink, MessagesArriveWholeThroughNoiseDuplicatesAndLoopBack) {
  Bytes message(1500);
  for (size_t i = 0; i < message.size(); ++i) message[i] = static_cast<uint8_t>(i);
  auto fragments = *fragmentMessage(message, true);
  Bytes second = frame(5, fragments[1]);
  Bytes damaged = second;
  damaged[20] ^= 0xFF;
  for (auto split : {ScriptedStream::Split::Whole, ScriptedStream::Split::ByteWise}) {
    ScriptedStream line(split);
    line.deliver(frame(5, fragments[0]));
    line.deliver(frame(5, fragments[0]));
    line.deliver(encodeSlp(SlpFrame{3, 3, kSlpTypeLoopback, 9, {}}));
    line.deliver(frame(5, PadpPacket{kPadpTickle, 0, 0, {}}));
    line.deliver(damaged);
    line.deliver(second);
    SerialLink link(line, LinkRole::Handheld, [&] { return line.now(); });
    LinkMessage got = link.receive(1000);
    ASSERT_EQ(got.status, StreamStatus::Ok) << got.error;
    EXPECT_EQ(got.message, message);
    EXPECT_EQ(link.stats().framesDropped, 1u);
    auto acks = framesOf(line.written());
    ASSERT_EQ(acks.size(), 3u);
    EXPECT_EQ(decodePadp(acks[2].payload)->sizeOrOffset, 1024u);
    EXPECT_EQ(acks[2].xid, 5);
    // The answer goes back with the request's number, in the long form agreed on.
    link.allowLongForm(true);
    line.deliver(ack(5, 2, kPadpFirst | kPadpLast | kPadpLongForm));
    ASSERT_TRUE(link.send(Bytes{0x90, 0x00}));
    auto sent = framesOf(line.written());
    EXPECT_EQ(sent.back().xid, 5);
    EXPECT_TRUE(decodePadp(sent.back().payload)->longForm());
  }
}

TEST(SerialLink, PeerFailuresAreFinalAndNamed) {
  Bytes cut = data(1, Bytes{1, 2});
  cut.pop_back();
  struct Case {
    const char* name;
    Bytes bytes;
    StreamStatus status;
    const char* error;
  };
  const Case cases[] = {
      {"abort", frame(1, PadpPacket{kPadpAbort, 0, 0, {}}), StreamStatus::Failed,
       "the handheld aborted the HotSync"},
      {"too large", frame(1, PadpPacket{kPadpData, kPadpFirst | kPadpLongForm, 0x7FFFFFFF, {}}),
       StreamStatus::Failed, "more than the limit"},
      {"closed inside a frame", cut, StreamStatus::Failed, "closed in the middle of a message"},
      {"wrong answer", data(7, Bytes{0x90, 0}), StreamStatus::Failed, "transaction id 7 where 1"},
      {"closed", {}, StreamStatus::Closed, "the line was closed"},

  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedStream line;
    line.deliver(ack(1, 2));
    line.deliver(c.bytes);
    SerialLink link(line, LinkRole::Desktop, [&] { return line.now(); });
    ASSERT_TRUE(link.send(Bytes{0x10, 0}));
    LinkMessage got = link.receive(1000);
    EXPECT_EQ(got.status, c.status);
    EXPECT_NE(got.error.find(c.error), std::string::npos) << got.error;
    EXPECT_EQ(link.receive(1000).status, c.status);
  }
}

TEST(SerialLink, APeerPilingUpMessagesBreaksTheLink) {
  ScriptedStream line;
  line.deliver(data(1, Bytes{0x90, 0}) + data(2, Bytes{0x91, 0}));
  SerialLinkOptions options;
  options.maxFragment = 1;  // the request's first fragment waits for its ack meanwhile
  SerialLink link(
      line, LinkRole::Desktop, [&] { return line.now(); }, options);
  EXPECT_FALSE(link.send(Bytes{0x10, 0}));
  EXPECT_EQ(link.error(), "the handheld sent a message before the last one was taken");
}

TEST(SerialLink, TheHandheldRepeatsItsWakeupUntilTheDesktopAnswers) {
  ScriptedStream line;
  line.silence();
  line.deliver(data(0xFF, encodeCmp(CmpPacket{kCmpInit, kCmpChangeBaud, 1, 1, 0, 38400})));
  SerialLink link(line, LinkRole::Handheld, [&] { return line.now(); });
  CmpOutcome cmp = handheldCmp(link, 115200);
  ASSERT_TRUE(cmp) << cmp.error;
  EXPECT_EQ(cmp.baud, 38400u);
  EXPECT_FALSE(cmp.longForm);
  auto sent = framesOf(line.written());
  ASSERT_EQ(sent.size(), 3u);  // wakeup, wakeup again, ack of INIT
  EXPECT_EQ(sent[0], sent[1]);
  EXPECT_EQ(decodePadp(sent[2].payload)->type, kPadpAck);
}

}  // namespace
}  // namespace lumora::link
