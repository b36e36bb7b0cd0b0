#include "hotsync/link/cmp.h"

#include <algorithm>
#include <string>

namespace lumora::link {

Result<CmpPacket> decodeCmp(ByteView m) {
  if (m.size() != kCmpSize) {
    return makeError(
        m.size() < kCmpSize ? ErrorCode::Truncated : ErrorCode::TrailingBytes,
        "CMP packet of " + std::to_string(m.size()) + " bytes, not " + std::to_string(kCmpSize));
  }
  CmpPacket p{m[0], m[1], m[2], m[3], loadBe16(m.data() + 4), loadBe32(m.data() + 6)};
  if (p.type != kCmpWakeup && p.type != kCmpInit && p.type != kCmpAbort)
    return makeError(ErrorCode::BadValue, "unknown CMP type " + std::to_string(p.type));
  return p;
}

Bytes encodeCmp(const CmpPacket& p) {
  Bytes out;
  out.reserve(kCmpSize);
  appendU8(out, p.type);
  appendU8(out, p.flags);
  appendU8(out, p.major);
  appendU8(out, p.minor);
  appendBe16(out, p.reserved);
  appendBe32(out, p.baud);
  return out;
}

CmpPacket initFor(const CmpPacket& wakeup, uint32_t desktopMaxBaud, uint32_t currentBaud) {
  CmpPacket init;
  init.type = kCmpInit;
  init.major = 1;
  init.minor = 1;
  // A handheld that names no speed stays at the current one; an odd speed is rounded down
  // to one a serial line can be set to.
  uint32_t agreed = currentBaud;
  if (wakeup.baud != 0) {
    uint32_t limit = std::min(wakeup.baud, desktopMaxBaud);
    for (uint32_t speed : kCmpSpeeds) {
      if (speed <= limit) agreed = speed;
    }
  }
  init.baud = agreed;
  if (agreed != currentBaud) init.flags |= kCmpChangeBaud;
  if (wakeup.flags & kCmpLongPadp) init.flags |= kCmpLongPadp;
  return init;
}

}  // namespace lumora::link
