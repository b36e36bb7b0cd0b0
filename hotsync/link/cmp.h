// Connection Management Protocol: the first message of a serial HotSync, 10 bytes in one
// PADP message with transaction id 0xFF. The handheld repeats WAKEUP with the fastest line
// speed it can use; the desktop answers INIT with the speed both will use from then on,
// and whether long PADP fragments may be used.
#pragma once

#include <cstdint>

#include "common/bytes.h"
#include "hotsync/link/result.h"

namespace lumora::link {

inline constexpr uint8_t kCmpWakeup = 1;
inline constexpr uint8_t kCmpInit = 2;
inline constexpr uint8_t kCmpAbort = 3;
inline constexpr uint8_t kCmpChangeBaud = 0x80;
inline constexpr uint8_t kCmpLongPadp = 0x10;
inline constexpr uint8_t kCmpXid = 0xFF;
inline constexpr size_t kCmpSize = 10;
// Every serial HotSync starts at this speed.
inline constexpr uint32_t kCmpStartBaud = 9600;

struct CmpPacket {
  uint8_t type = kCmpWakeup;
  uint8_t flags = 0;
  uint8_t major = 1;
  uint8_t minor = 1;
  uint16_t reserved = 0;
  uint32_t baud = 0;
  bool operator==(const CmpPacket&) const = default;
};

Result<CmpPacket> decodeCmp(ByteView message);
Bytes encodeCmp(const CmpPacket& packet);

// The standard speeds a serial line can be set to, slowest first.
inline constexpr uint32_t kCmpSpeeds[] = {9600, 19200, 38400, 57600, 115200, 230400};

// The desktop's INIT for a WAKEUP: the fastest standard speed neither side's limit exceeds
// (a change only when it differs from the current one), and long PADP when the handheld
// offered it.
CmpPacket initFor(const CmpPacket& wakeup, uint32_t desktopMaxBaud,
                  uint32_t currentBaud = kCmpStartBaud);

}  // namespace lumora::link
