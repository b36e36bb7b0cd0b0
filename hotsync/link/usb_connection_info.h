// The vendor control requests a USB handheld answers before HotSync, and pure decoders of
// their answers that pick the endpoints HotSync runs over. Answers come from the device and
// are hostile: every length and count is checked, and nonsense is refused with a text.
#pragma once

#include <cstdint>

#include "common/bytes.h"
#include "hotsync/link/result.h"

namespace lumora::link {

// bmRequestType of the vendor requests: device to host, vendor, endpoint recipient.
inline constexpr uint8_t kUsbVendorIn = 0xC2;
inline constexpr uint8_t kUsbGetNumBytesAvailable = 0x01;
inline constexpr uint8_t kUsbCloseNotification = 0x02;
inline constexpr uint8_t kUsbGetConnectionInfo = 0x03;
inline constexpr uint8_t kUsbGetExtConnectionInfo = 0x04;
// The answer sizes asked for.
inline constexpr uint16_t kUsbConnectionInfoSize = 6;
inline constexpr uint16_t kUsbExtConnectionInfoSize = 20;
inline constexpr uint16_t kUsbNumBytesAvailableSize = 2;

// Endpoint numbers (1 to 15, without the direction bit) of the HotSync port.
struct UsbEndpoints {
  uint8_t in = 0;
  uint8_t out = 0;
  bool operator==(const UsbEndpoints&) const = default;
};

// GetExtConnectionInfo: u8 port count (1 or 2), u8 "different endpoints" flag, u16
// padding, then 8 bytes a port: creator ("cnys" is HotSync), port number, endpoints (high
// nibble in, low nibble out, when the flag is set), u16 padding.
Result<UsbEndpoints> decodeExtConnectionInfo(ByteView answer);
// GetConnectionInfo: u16 little-endian port count (1 or 2), then 2 bytes a port: function
// type (2 is HotSync) and port number, the endpoint in both directions.
Result<UsbEndpoints> decodeConnectionInfo(ByteView answer);
// GetNumBytesAvailable: u16 big-endian.
Result<uint16_t> decodeNumBytesAvailable(ByteView answer);

}  // namespace lumora::link
