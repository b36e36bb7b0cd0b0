// Packet Assembly/Disassembly Protocol, inside SLP frames of type 2: a type (data, ack,
// tickle, abort), flags (first and last fragment, memory error, long form), then the size
// of the whole message (first fragment) or the offset of this fragment (later ones), as a
// u16 or, in the long form, a u32; then the fragment's bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/bytes.h"
#include "hotsync/link/result.h"

namespace lumora::link {

inline constexpr uint8_t kPadpData = 1;
inline constexpr uint8_t kPadpAck = 2;
inline constexpr uint8_t kPadpTickle = 4;
inline constexpr uint8_t kPadpAbort = 8;

inline constexpr uint8_t kPadpFirst = 0x80;
inline constexpr uint8_t kPadpLast = 0x40;
inline constexpr uint8_t kPadpMemoryError = 0x20;
inline constexpr uint8_t kPadpLongForm = 0x10;

inline constexpr size_t kPadpMaxFragment = 1024;

struct PadpPacket {
  uint8_t type = kPadpData;
  uint8_t flags = 0;
  uint32_t sizeOrOffset = 0;
  Bytes data;  // a fragment's bytes; whatever follows an ack's header is kept as it came
  bool operator==(const PadpPacket&) const = default;
  bool longForm() const { return (flags & kPadpLongForm) != 0; }
};

Result<PadpPacket> decodePadp(ByteView payload);
// The short form cannot carry a value above 0xFFFF: such a packet is refused.
Result<Bytes> encodePadp(const PadpPacket& packet);

// The data fragments of one message, at most maxFragment bytes each. Messages above 0xFFFF
// bytes need the long form; without it they are refused.
Result<std::vector<PadpPacket>> fragmentMessage(ByteView message, bool longForm,
                                                size_t maxFragment = kPadpMaxFragment);

// The acknowledgement of a data fragment: same size or offset, in the fragment's form.
PadpPacket ackFor(const PadpPacket& fragment);

// Gathers the fragments of one message at a time. A first fragment announcing more than
// the limit is refused before anything is reserved; a fragment that repeats one already
// taken is a duplicate (the peer missed our ack) and is acknowledged again but not added.
class PadpAssembler {
 public:
  enum class Outcome {
    Added,      // taken, more to come
    Complete,   // taken, and the message is whole: take() it
    Duplicate,  // seen already: acknowledge, do not use
    Refused,    // cannot belong to the message under way, or breaks the limit: error()
  };

  explicit PadpAssembler(size_t maxMessage);

  Outcome add(const PadpPacket& fragment);
  Bytes take();
  bool inProgress() const { return started_; }
  const std::string& error() const { return error_; }

 private:
  Outcome refuse(std::string why);

  size_t maxMessage_;
  bool started_ = false;
  uint32_t size_ = 0;
  Bytes message_;
  Bytes done_;
  std::string error_;
};

}  // namespace lumora::link
