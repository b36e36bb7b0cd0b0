#include "hotsync/link/framing.h"

#include <algorithm>

#include "hotsync/link/netsync.h"

namespace lumora::link {
namespace {

enum class Match { No, Prefix, Yes };

constexpr uint8_t kSlpStart[] = {0xBE, 0xEF, 0xED};
constexpr uint8_t kHelloStart[] = {0x90, 0x01};

// Does `bytes` begin with `pattern`, or is it a shorter piece of its beginning?
Match startsWith(ByteView bytes, ByteView pattern) {
  size_t n = std::min(bytes.size(), pattern.size());
  if (!std::equal(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n), pattern.begin()))
    return Match::No;
  return n == pattern.size() ? Match::Yes : Match::Prefix;
}

// A NetSync data packet header whose payload opens the handshake. While the length is
// partly known, the smallest and largest values it can still take must leave room for it.
Match netSyncHeader(ByteView bytes) {
  if (bytes.empty()) return Match::Prefix;
  if (bytes[0] != kNetSyncData) return Match::No;
  constexpr size_t kLengthAt = 2;
  if (bytes.size() > kLengthAt) {
    uint32_t low = 0, high = 0;
    for (size_t i = 0; i < 4; ++i) {
      bool known = kLengthAt + i < bytes.size();
      uint8_t b = known ? bytes[kLengthAt + i] : 0;
      low = (low << 8) | b;
      high = (high << 8) | (known ? b : 0xFF);
    }
    if (high < sizeof kHelloStart || low > kFramingMaxFirstPacket) return Match::No;
  }
  if (bytes.size() <= kNetSyncHeaderSize) return Match::Prefix;
  return startsWith(bytes.subspan(kNetSyncHeaderSize), kHelloStart);
}

// The best a frame starting at the front of `bytes` can be.
Match frameAt(ByteView bytes, Framing& which) {
  const std::pair<Framing, Match> candidates[] = {
      {Framing::Slp, startsWith(bytes, kSlpStart)},
      {Framing::NetSync, netSyncHeader(bytes)},
      {Framing::NetSync, startsWith(bytes, kHelloStart)},
  };
  Match best = Match::No;
  for (const auto& [framing, match] : candidates) {
    if (match == Match::Yes) {
      which = framing;
      return Match::Yes;
    }
    if (match == Match::Prefix) best = Match::Prefix;
  }
  return best;
}

}  // namespace

FramingGuess recogniseFraming(ByteView firstBytes) {
  // The earliest position where a frame may start decides: positions before it are noise
  // for good, since more bytes cannot mend a mismatch.
  for (size_t at = 0; at < firstBytes.size(); ++at) {
    Framing which = Framing::Neither;
    switch (frameAt(firstBytes.subspan(at), which)) {
      case Match::Yes:
        return {which, at};
      case Match::Prefix:
        return {Framing::NeedMore, at};
      case Match::No:
        break;
    }
  }
  if (firstBytes.empty()) return {Framing::NeedMore, 0};
  return {Framing::Neither, firstBytes.size()};
}

Framing FramingRecogniser::feed(ByteView bytes) {
  if (decided()) return framing_;
  seen_.insert(seen_.end(), bytes.begin(), bytes.end());
  FramingGuess guess = recogniseFraming(seen_);
  // Counted before the answer is taken, so that the limit holds however the bytes came.
  if (skipped_ + guess.skip > maxNoise_) {
    framing_ = Framing::Neither;
    skipped_ += guess.skip;
    seen_.clear();
    return framing_;
  }
  skipped_ += guess.skip;
  seen_.erase(seen_.begin(), seen_.begin() + static_cast<std::ptrdiff_t>(guess.skip));
  if (guess.framing == Framing::Slp || guess.framing == Framing::NetSync) framing_ = guess.framing;
  return framing_;
}

const char* framingName(Framing framing) {
  switch (framing) {
    case Framing::NeedMore:
      return "undecided";
    case Framing::Slp:
      return "SLP";
    case Framing::NetSync:
      return "NetSync";
    case Framing::Neither:
      return "neither SLP nor NetSync";
  }
  return "?";
}

}  // namespace lumora::link
