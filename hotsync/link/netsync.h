// NetSync framing: a 6-byte header (type, transaction id, payload length u32, big-endian)
// before each packet, and the handshake both sides exchange before DLP starts.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/bytes.h"

namespace lumora::link {

inline constexpr uint8_t kNetSyncData = 1;
inline constexpr uint8_t kNetSyncTickle = 2;  // keep-alive, no payload
inline constexpr size_t kNetSyncHeaderSize = 6;
inline constexpr size_t kDefaultMaxPayload = size_t{1} << 20;
inline constexpr uint8_t kHandheldFirstXid = 0xFF;

struct NetSyncPacket {
  uint8_t type = kNetSyncData;
  uint8_t xid = 0;
  Bytes payload;
  bool headerless = false;  // a cradle sent it without its header (only the first packet)
  bool operator==(const NetSyncPacket&) const = default;
};

// Header followed by the payload.
Bytes encodeNetSync(uint8_t type, uint8_t xid, ByteView payload);
inline Bytes encodeNetSync(const NetSyncPacket& p) {
  return encodeNetSync(p.type, p.xid, p.payload);
}

// The desktop's transaction ids run 1 .. 0xFE, then start at 1 again.
constexpr uint8_t nextXid(uint8_t xid) {
  return xid >= 0xFE ? 1 : static_cast<uint8_t>(xid + 1);
}

// Incremental reassembly: feed whatever arrived; each call consumes bytes up to the end of
// at most one packet. After Status::Packet, take() hands the packet over and the reader
// starts the next one. An error is sticky: every later feed answers Error again.
class NetSyncReader {
 public:
  enum class Status { NeedMore, Packet, Error };
  struct Step {
    Status status = Status::NeedMore;
    size_t consumed = 0;
  };

  // allowHeaderless: the stream may begin with a handshake packet sent without header.
  explicit NetSyncReader(size_t maxPayload = kDefaultMaxPayload, bool allowHeaderless = false);

  Step feed(ByteView input);
  NetSyncPacket take();
  const std::string& error() const { return error_; }
  // True between packets, so that an end of stream here is a clean one.
  bool idle() const { return state_ == State::Header && gathered_ == 0; }

 private:
  enum class State { Header, Payload, Headerless, Ready, Failed };
  Step fail(size_t consumed, std::string message);
  Step startPayload(size_t consumed);

  size_t maxPayload_;
  bool allowHeaderless_;
  bool atStart_ = true;
  State state_ = State::Header;
  std::array<uint8_t, kNetSyncHeaderSize> header_{};
  size_t gathered_ = 0;
  uint32_t length_ = 0;
  NetSyncPacket packet_;
  std::string error_;
};

// ---- Handshake --------------------------------------------------------------------------
// Packets 1, 3 and 5 come from the handheld, 2 and 4 from the desktop; DLP follows.
inline constexpr size_t kHandheldHelloSize = 22;

// Packet 1; `variant` is the first of its last 8 bytes (1 and 2 are seen).
Bytes handheldHello(uint8_t variant = 1);
Bytes desktopHello();      // packet 2
Bytes handheldHelloAck();  // packet 3 (its contents vary; nobody parses them)
Bytes desktopHelloAck();   // packet 4
Bytes handheldReady();     // packet 5

// Does a received first packet open a NetSync handshake?
bool isHandheldHello(ByteView payload);
// Loose checks of the other packets, by their first byte as the peers do.
bool isDesktopHello(ByteView payload);
bool isHandheldHelloAck(ByteView payload);
bool isDesktopHelloAck(ByteView payload);
bool isHandheldReady(ByteView payload);

}  // namespace lumora::link
