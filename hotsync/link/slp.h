// Serial Link Protocol framing: BE EF ED, destination and source socket, type, payload
// length (u16), transaction id, a checksum of those 9 bytes, the payload, and a CRC-16
// (polynomial 0x1021, initial 0) over header and payload.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "common/bytes.h"

namespace lumora::link {

inline constexpr uint8_t kSlpSocketDlp = 3;
inline constexpr uint8_t kSlpTypeSystem = 0;
inline constexpr uint8_t kSlpTypePadp = 2;
inline constexpr uint8_t kSlpTypeLoopback = 3;
inline constexpr size_t kSlpHeaderSize = 10;
inline constexpr size_t kSlpFrameOverhead = kSlpHeaderSize + 2;
// A PADP fragment (1024 bytes) and its header, with room to spare for odd peers.
inline constexpr size_t kSlpDefaultMaxPayload = 2048;

struct SlpFrame {
  uint8_t dest = kSlpSocketDlp;
  uint8_t src = kSlpSocketDlp;
  uint8_t type = kSlpTypePadp;
  uint8_t xid = 0;
  Bytes payload;
  bool operator==(const SlpFrame&) const = default;
};

uint16_t slpCrc16(ByteView bytes, uint16_t crc = 0);
uint8_t slpHeaderChecksum(ByteView firstNine);
// Fails (empty) only when the payload does not fit the u16 length.
Bytes encodeSlp(const SlpFrame& frame);

// Incremental reader for a noisy line: feed whatever arrived; each call consumes bytes up
// to the end of at most one good frame. Bytes before a frame start are skipped, and a frame
// whose checksum, length or CRC is wrong is dropped and counted; the search for the next
// frame then resumes one byte after the bad frame's start, so a frame hidden in a damaged
// one is still found. Nothing here is sticky: a line recovers.
class SlpReader {
 public:
  enum class Status { NeedMore, Frame };
  struct Step {
    Status status = Status::NeedMore;
    size_t consumed = 0;
  };

  explicit SlpReader(size_t maxPayload = kSlpDefaultMaxPayload);

  Step feed(ByteView input);
  // The frame after Status::Frame; the reader then starts the next one.
  SlpFrame take();
  // The bytes of the last frame taken, exactly as they arrived.
  const Bytes& lastRaw() const { return raw_; }

  size_t droppedFrames() const { return dropped_; }
  size_t skippedBytes() const { return skipped_; }
  // True when no part of a frame is waiting.
  bool idle() const { return pending_.empty() && !ready_; }

 private:
  // Looks at pending_: a whole good frame (true), or how many more bytes it needs.
  bool scan(size_t& need);
  void dropFirst();

  size_t maxPayload_;
  Bytes pending_;  // starts with (a prefix of) the frame signature
  bool ready_ = false;
  SlpFrame frame_;
  Bytes raw_;
  size_t dropped_ = 0;
  size_t skipped_ = 0;
};

}  // namespace lumora::link
