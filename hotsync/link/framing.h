// Which framing a stream speaks, decided from its first bytes: a handheld on a tty (a USB
// handheld through the kernel's serial driver, a cradle, an emulator) may speak the serial
// stack (SLP frames, BE EF ED) or NetSync framing (a data packet whose payload opens the
// handshake with 90 01, or that payload without its header, as some cradles send it).
// Leading bytes that start neither are noise: line garbage before the handheld talks.
#pragma once

#include <cstddef>

#include "common/bytes.h"

namespace lumora::link {

enum class Framing { NeedMore, Slp, NetSync, Neither };

// skip: the leading bytes that start no frame. Slp and NetSync: the frame begins after
// them. NeedMore: the bytes after them are the start of a frame. Neither: skip is the size
// of the input, every byte of it is noise.
struct FramingGuess {
  Framing framing = Framing::NeedMore;
  size_t skip = 0;
  bool operator==(const FramingGuess&) const = default;
};

// The first packet of a NetSync handshake is 22 bytes; anything declaring more than this
// is not taken for one.
inline constexpr size_t kFramingMaxFirstPacket = 4096;

// Fed the first bytes of a stream (all that arrived so far, however they were split).
// The answer for a longer input never contradicts a decision made on a shorter one.
FramingGuess recogniseFraming(ByteView firstBytes);

// Noise tolerated before a frame starts, by default.
inline constexpr size_t kFramingMaxNoise = 1024;

// recogniseFraming over bytes as they arrive. Keeps the bytes from the start of the frame
// (noise is dropped), so that the chosen link can be fed them first.
class FramingRecogniser {
 public:
  explicit FramingRecogniser(size_t maxNoise = kFramingMaxNoise) : maxNoise_(maxNoise) {}

  // The answer so far. Slp, NetSync and Neither are final: later feeds change nothing.
  // Neither: more than maxNoise bytes came before any frame.
  Framing feed(ByteView bytes);
  Framing framing() const { return framing_; }
  bool decided() const { return framing_ != Framing::NeedMore; }

  // The bytes kept: from the start of the frame (or of a possible one) to the last byte fed.
  const Bytes& seen() const { return seen_; }
  Bytes takeSeen() { return std::move(seen_); }
  // Noise bytes dropped so far.
  size_t skipped() const { return skipped_; }

 private:
  size_t maxNoise_;
  Framing framing_ = Framing::NeedMore;
  Bytes seen_;
  size_t skipped_ = 0;
};

// "SLP", "NetSync", ... for messages.
const char* framingName(Framing framing);

}  // namespace lumora::link
