// SLP frames, PADP fragments and CMP packets: the recorded bytes of a real handheld encode
// and decode alike, and a noisy line loses only the damaged frames.
#include <gtest/gtest.h>

#include "hotsync/link/cmp.h"
#include "hotsync/link/padp.h"
#include "hotsync/link/slp.h"
#include "tests/hotsync/link/hex.h"

namespace lumora::link {
namespace {

using test::hex;

// From a recorded session: a loop-back frame, the handheld's CMP wakeup, the desktop's INIT.
const Bytes kLoopback = hex("beefed030303000015b8ab20");
const Bytes kWakeup = hex("beefed030302000effaf01c0000a0110010300000001c2006d2e");
const Bytes kInit = hex("beefed030302000effaf01c0000a0290010100000001c20003b0");

std::vector<SlpFrame> readAll(ByteView stream, bool byteWise, SlpReader& reader) {
  std::vector<SlpFrame> out;
  size_t at = 0;
  while (at < stream.size()) {
    ByteView piece = stream.subspan(at, byteWise ? 1 : stream.size() - at);
    at += piece.size();
    while (true) {
      auto step = reader.feed(piece);
      piece = piece.subspan(step.consumed);
      if (step.status == SlpReader::Status::NeedMore) break;
      out.push_back(reader.take());
    }
  }
  return out;
}

TEST(Slp, RecordedFramesEncodeToTheirBytes) {
  EXPECT_EQ(encodeSlp(SlpFrame{3, 3, kSlpTypeLoopback, 0x15, {}}), kLoopback);
  SlpFrame wakeup{3, 3, kSlpTypePadp, 0xFF, Bytes(kWakeup.begin() + 10, kWakeup.end() - 2)};
  EXPECT_EQ(encodeSlp(wakeup), kWakeup);
}

TEST(Slp, DamagedFramesAreDroppedAndTheNextOneFound) {
  Bytes badChecksum = kInit;
  badChecksum[9] ^= 1;
  Bytes badCrc = kInit;
  badCrc[14] ^= 0x40;
  Bytes tooLong = hex("beefed0303020fff00");
  tooLong.push_back(slpHeaderChecksum(tooLong));
  Bytes cut(kInit.begin(), kInit.end() - 5);  // the line lost its end
  struct Case {
    const char* name;
    Bytes before;
    size_t dropped;
  };
  const Case cases[] = {
      {"noise", hex("00 41 54 5a 0d be ef 00"), 0},
      {"bad checksum", badChecksum, 1},
      {"bad CRC", badCrc, 1},
      {"longer than the limit", tooLong, 1},
      {"cut short", cut, 1},
  };
  for (const Case& c : cases) {
    for (bool byteWise : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (byteWise ? ", byte by byte" : ", whole"));
      Bytes stream = c.before;
      stream.insert(stream.end(), kWakeup.begin(), kWakeup.end());
      stream.insert(stream.end(), kLoopback.begin(), kLoopback.end());
      SlpReader reader(1030);
      auto frames = readAll(stream, byteWise, reader);
      ASSERT_EQ(frames.size(), 2u);
      EXPECT_EQ(encodeSlp(frames[0]), kWakeup);
      EXPECT_EQ(frames[1].type, kSlpTypeLoopback);
      EXPECT_EQ(reader.droppedFrames(), c.dropped);
      EXPECT_TRUE(reader.idle());
    }
  }
}

TEST(Padp, ShortAndLongFormsRoundTrip) {
  struct Case {
    const char* bytes;
    PadpPacket packet;
  };
  const Case cases[] = {
      {"01c0000a 0110", {kPadpData, 0xC0, 10, {0x01, 0x10}}},
      {"01d000000022 92", {kPadpData, 0xD0, 0x22, {0x92}}},
      {"02c0000a b260", {kPadpAck, 0xC0, 10, {0xB2, 0x60}}},  // an ack with trailing bytes
      {"0400 0000", {kPadpTickle, 0, 0, {}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes);
    auto decoded = decodePadp(hex(c.bytes));
    ASSERT_TRUE(decoded) << decoded.error().message;
    EXPECT_EQ(*decoded, c.packet);
    EXPECT_EQ(*encodePadp(c.packet), hex(c.bytes));
  }
  EXPECT_FALSE(decodePadp(hex("01c000")));
  EXPECT_FALSE(decodePadp(hex("01d00000")));
  EXPECT_FALSE(decodePadp(hex("03c00000")));
  EXPECT_FALSE(encodePadp(PadpPacket{kPadpData, 0xC0, 0x10000, {}}));
}

TEST(Padp, MessagesSplitIntoFragmentsOfAtMost1024Bytes) {
  Bytes message(2500);
  for (size_t i = 0; i < message.size(); ++i) message[i] = static_cast<uint8_t>(i * 7);
  auto fragments = fragmentMessage(message, false);
  ASSERT_TRUE(fragments);
  ASSERT_EQ(fragments->size(), 3u);
  EXPECT_EQ((*fragments)[0].flags, kPadpFirst);
  EXPECT_EQ((*fragments)[0].sizeOrOffset, 2500u);
  EXPECT_EQ((*fragments)[1].flags, 0);
  EXPECT_EQ((*fragments)[1].sizeOrOffset, 1024u);
  EXPECT_EQ((*fragments)[2].flags, kPadpLast);
  EXPECT_EQ((*fragments)[2].data.size(), 452u);

  PadpAssembler assembler(4096);
  EXPECT_EQ(assembler.add((*fragments)[0]), PadpAssembler::Outcome::Added);
  EXPECT_EQ(assembler.add((*fragments)[0]), PadpAssembler::Outcome::Duplicate);
  EXPECT_EQ(assembler.add((*fragments)[1]), PadpAssembler::Outcome::Added);
  EXPECT_EQ(assembler.add((*fragments)[1]), PadpAssembler::Outcome::Duplicate);
  EXPECT_EQ(assembler.add((*fragments)[2]), PadpAssembler::Outcome::Complete);
  EXPECT_EQ(assembler.take(), message);

  EXPECT_FALSE(fragmentMessage(Bytes(70000), false));
  auto longForm = fragmentMessage(Bytes(70000), true);
  ASSERT_TRUE(longForm);
  EXPECT_EQ(longForm->size(), 69u);
  EXPECT_EQ(longForm->front().flags, kPadpFirst | kPadpLongForm);
  auto empty = fragmentMessage({}, false);
  ASSERT_EQ(empty->size(), 1u);
  EXPECT_EQ(empty->front().flags, kPadpFirst | kPadpLast);
}

TEST(Padp, AssemblerRefusesWhatCannotBelongToTheMessage) {
  struct Case {
    const char* name;
    std::vector<PadpPacket> fragments;
    const char* error;
  };
  const Case cases[] = {
      {"over the limit", {{kPadpData, kPadpFirst, 5000, {}}}, "more than the limit of 4096"},
      {"no first", {{kPadpData, 0, 10, Bytes(4)}}, "without a first fragment"},
      {"gap",
       {{kPadpData, kPadpFirst, 20, Bytes(4)}, {kPadpData, 0, 8, Bytes(4)}},
       "offset 8 where 4 was due"},
      {"more than announced", {{kPadpData, kPadpFirst, 3, Bytes(4)}}, "more than the 3"},
      {"last too early", {{kPadpData, kPadpFirst | kPadpLast, 8, Bytes(4)}}, "ends at 4 of 8"},
      {"not marked last", {{kPadpData, kPadpFirst, 4, Bytes(4)}}, "not marked last"},
      {"fragment too big", {{kPadpData, kPadpFirst, 2000, Bytes(1100)}}, "more than 1024"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PadpAssembler assembler(4096);
    PadpAssembler::Outcome last = PadpAssembler::Outcome::Added;
    for (const PadpPacket& f : c.fragments) last = assembler.add(f);
    EXPECT_EQ(last, PadpAssembler::Outcome::Refused);
    EXPECT_NE(assembler.error().find(c.error), std::string::npos) << assembler.error();
    EXPECT_FALSE(assembler.inProgress());
  }
}

TEST(Cmp, RecordedWakeupAndInitRoundTrip) {
  auto wakeup = decodeCmp(hex("0110010300000001c200"));
  ASSERT_TRUE(wakeup);
  EXPECT_EQ(wakeup->type, kCmpWakeup);
  EXPECT_EQ(wakeup->flags, kCmpLongPadp);
  EXPECT_EQ(wakeup->baud, 115200u);
  EXPECT_EQ(encodeCmp(*wakeup), hex("0110010300000001c200"));
  // The recorded desktop answered exactly this.
  EXPECT_EQ(encodeCmp(initFor(*wakeup, 115200)), hex("0290010100000001c200"));
  EXPECT_FALSE(decodeCmp(hex("0110010300000001c2")));
  EXPECT_FALSE(decodeCmp(hex("0910010300000001c200")));
}

TEST(Cmp, InitAgreesOnTheLowerSpeedAndLongPadpWhenOffered) {
  struct Case {
    uint32_t handheld, desktop;
    uint8_t wakeupFlags;
    uint8_t flags;
    uint32_t baud;
  };
  const Case cases[] = {
      {115200, 57600, 0, kCmpChangeBaud, 57600},
      {19200, 115200, kCmpLongPadp, kCmpChangeBaud | kCmpLongPadp, 19200},
      {9600, 115200, 0, 0, 9600},
      {0, 115200, 0, 0, 9600},  // a handheld naming no speed stays at the first one
      {76800, 115200, 0, kCmpChangeBaud, 57600},  // rounded down to a standard speed
      {230400, 230400, 0, kCmpChangeBaud, 230400},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.handheld);
    CmpPacket wakeup{kCmpWakeup, c.wakeupFlags, 1, 2, 0, c.handheld};
    CmpPacket init = initFor(wakeup, c.desktop);
    EXPECT_EQ(init.type, kCmpInit);
    EXPECT_EQ(init.flags, c.flags);
    EXPECT_EQ(init.baud, c.baud);
  }
}

}  // namespace
}  // namespace lumora::link
