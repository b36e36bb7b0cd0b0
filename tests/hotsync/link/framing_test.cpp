// Deciding SLP or NetSync from a stream's first bytes: each row fed whole, byte by byte and
// cut in two at every position must give the same answer and keep the same bytes, and the
// kept bytes must reach the link before the stream's own.
#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>

#include "hotsync/link/framing.h"
#include "hotsync/link/prefixed_stream.h"
#include "hotsync/link/scripted_stream.h"
#include "tests/hotsync/link/hex.h"

namespace lumora::link {

void PrintTo(const FramingGuess& g, std::ostream* os) {
  *os << framingName(g.framing) << " after " << g.skip;
}

namespace {

using test::hex;

struct Case {
  const char* name;
  const char* bytes;
  FramingGuess whole;  // recogniseFraming on all of them
};

const Case kCases[] = {
    {"nothing yet", "", {Framing::NeedMore, 0}},
    {"SLP", "be ef ed 03 03 02", {Framing::Slp, 0}},
    {"SLP start only", "be ef ed", {Framing::Slp, 0}},
    {"part of the SLP start", "be ef", {Framing::NeedMore, 0}},
    {"NetSync hello", "01 ff 00 00 00 16 90 01 00 00", {Framing::NetSync, 0}},
    {"NetSync, other xid", "01 00 00 00 00 16 90 01", {Framing::NetSync, 0}},
    {"NetSync header only", "01 ff 00 00 00 16", {Framing::NeedMore, 0}},
    {"NetSync, payload begins 90", "01 ff 00 00 00 16 90", {Framing::NeedMore, 0}},
    {"header-less hello", "90 01 00 00 00 00", {Framing::NetSync, 0}},
    {"header-less, first byte", "90", {Framing::NeedMore, 0}},
    {"noise then SLP", "00 41 54 0d be ef ed", {Framing::Slp, 4}},
    {"noise then NetSync", "ff 00 01 ff 00 00 00 16 90 01", {Framing::NetSync, 2}},
    {"noise then part of SLP", "41 54 be", {Framing::NeedMore, 2}},
    {"noise only", "41 54 5a 0d", {Framing::Neither, 4}},
    {"SLP start broken", "be ef 00", {Framing::Neither, 3}},
    {"tickle is no start", "02 ff 00 00 00 00", {Framing::Neither, 6}},
    {"NetSync, payload not a hello", "01 ff 00 00 00 16 12 02", {Framing::Neither, 8}},
    {"NetSync, empty payload", "01 ff 00 00 00 00", {Framing::Neither, 6}},
    {"NetSync, huge length", "01 ff 7f 00", {Framing::Neither, 4}},
    {"NetSync, length over the limit", "01 ff 00 00 10 02", {Framing::Neither, 6}},
    {"header-less, wrong second byte", "90 02", {Framing::Neither, 2}},
    // A header that fails may hide the start of a frame in its bytes.
    {"failed header, SLP inside", "01 be ef ed 00 00", {Framing::Slp, 1}},
    {"failed header, hello inside", "01 ff 90 01", {Framing::NetSync, 2}},
};

// What the recogniser decides when fed in pieces of the given sizes (the last piece takes
// the rest) until it decides, and what the chosen link then reads: the kept bytes, then the
// ones not fed.
struct Fed {
  Framing framing;
  Bytes seen;
  size_t skipped;
  bool operator==(const Fed&) const = default;
};

[[maybe_unused]] void PrintTo(const Fed& f, std::ostream* os) {
  *os << framingName(f.framing) << " after " << f.skipped << ", then " << f.seen.size() << " bytes";
}

Fed feedInPieces(ByteView bytes, const std::vector<size_t>& pieces, size_t maxNoise) {
  FramingRecogniser recogniser(maxNoise);
  size_t at = 0;
  for (size_t n : pieces) {
    if (recogniser.decided()) break;
    n = std::min(n, bytes.size() - at);
    recogniser.feed(bytes.subspan(at, n));
    at += n;
  }
  if (!recogniser.decided()) {
    recogniser.feed(bytes.subspan(at));
    at = bytes.size();
  }
  Bytes stream = recogniser.seen();
  stream.insert(stream.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at), bytes.end());
  return {recogniser.framing(), stream, recogniser.skipped()};
}

TEST(Framing, DecidedFromTheFirstBytes) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    Bytes bytes = hex(c.bytes);
    EXPECT_EQ(recogniseFraming(bytes), c.whole);
  }
}

TEST(Framing, SameAnswerHoweverTheBytesAreSplit) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    Bytes bytes = hex(c.bytes);
    // All noise is dropped whatever the split; the recogniser only goes on waiting.
    Framing expected = c.whole.framing == Framing::Neither ? Framing::NeedMore : c.whole.framing;
    Fed whole = feedInPieces(bytes, {}, kFramingMaxNoise);
    EXPECT_EQ(whole.framing, expected);
    EXPECT_EQ(whole.skipped, c.whole.skip);
    EXPECT_EQ(whole.seen,
              Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(c.whole.skip), bytes.end()));
    EXPECT_EQ(feedInPieces(bytes, std::vector<size_t>(bytes.size(), 1), kFramingMaxNoise), whole);
    for (size_t cut = 0; cut <= bytes.size(); ++cut) {
      SCOPED_TRACE("cut at " + std::to_string(cut));
      EXPECT_EQ(feedInPieces(bytes, {cut}, kFramingMaxNoise), whole);
    }
  }
}

TEST(Framing, TooMuchNoiseIsNeitherHoweverSplit) {
  struct Row {
    const char* name;
    size_t noise;
    Framing expected;
  };
  const Row rows[] = {
      {"at the limit", 8, Framing::Slp},
      {"one over", 9, Framing::Neither},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    Bytes bytes(r.noise, 0x41);
    Bytes slp = hex("be ef ed 03");
    bytes.insert(bytes.end(), slp.begin(), slp.end());
    EXPECT_EQ(feedInPieces(bytes, {}, 8).framing, r.expected);
    EXPECT_EQ(feedInPieces(bytes, std::vector<size_t>(bytes.size(), 1), 8).framing, r.expected);
  }
}

TEST(Framing, DecisionIsFinal) {
  FramingRecogniser recogniser;
  recogniser.feed(hex("be ef ed 03"));
  ASSERT_EQ(recogniser.framing(), Framing::Slp);
  EXPECT_EQ(recogniser.feed(hex("01 ff 00 00 00 16 90 01")), Framing::Slp);
  EXPECT_EQ(recogniser.seen(), hex("be ef ed 03"));
}

TEST(PrefixedStream, HandsOutTheKeptBytesBeforeTheStreamsOwn) {
  for (size_t capacity : {1u, 3u, 64u}) {
    SCOPED_TRACE("capacity " + std::to_string(capacity));
    ScriptedStream inner;
    inner.silence();
    inner.deliver(hex("04 05"));
    PrefixedStream stream(inner, hex("01 02 03"));
    Bytes got;
    std::vector<StreamStatus> statuses;
    for (int i = 0; i < 10; ++i) {
      uint8_t buffer[64];
      StreamRead r = stream.read(buffer, capacity, 100);
      statuses.push_back(r.status);
      if (r.status == StreamStatus::Closed) break;
      got.insert(got.end(), buffer, buffer + r.count);
    }
    EXPECT_EQ(got, hex("01 02 03 04 05"));
    // The stream's silence comes only after the kept bytes.
    auto silence = std::find(statuses.begin(), statuses.end(), StreamStatus::Timeout);
    ASSERT_NE(silence, statuses.end());
    EXPECT_EQ(size_t(silence - statuses.begin()), (3 + capacity - 1) / capacity);
    EXPECT_TRUE(stream.write(hex("aa")));
    EXPECT_EQ(inner.written(), hex("aa"));
  }
}

}  // namespace
}  // namespace lumora::link
