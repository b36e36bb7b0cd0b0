#include "hotsync/link/netsync_link.h"

#include <algorithm>
#include <cstdio>

namespace lumora::link {
namespace {

// Big enough for a record in a few reads, small enough to keep per connection.
constexpr size_t kReadChunk = 16 * 1024;

std::string firstBytes(ByteView payload) {
  std::string out;
  char hex[4];
  for (size_t i = 0; i < payload.size() && i < 8; ++i) {
    std::snprintf(hex, sizeof hex, "%s%02X", i ? " " : "", payload[i]);
    out += hex;
  }
  return out;
}

std::string describe(ByteView payload) {
  if (payload.empty()) return "an empty packet";
  return "a packet of " + std::to_string(payload.size()) + " bytes beginning " +
         firstBytes(payload);
}

}  // namespace

NetSyncLink::NetSyncLink(ByteStream& stream, LinkRole role, Clock clock, size_t maxPayload)
    : stream_(stream),
      role_(role),
      clock_(std::move(clock)),
      // Some cradles send the handheld's first packet without a header.
      reader_(maxPayload, role == LinkRole::Desktop),
      xid_(kHandheldFirstXid) {}

LinkMessage NetSyncLink::fail(StreamStatus status, std::string error) {
  LinkMessage out;
  out.status = status;
  out.error = std::move(error);
  if (status != StreamStatus::Timeout) broken_ = out;
  return out;
}

bool NetSyncLink::send(ByteView message) {
  if (broken_) return false;
  if (role_ == LinkRole::Desktop) {
    // The handshake's first packet comes from the handheld with 0xFF; the desktop then
    // counts from 1.
    xid_ = nextXid(xid_ == kHandheldFirstXid ? 0 : xid_);
    awaiting_ = true;
  }
  Bytes packet = encodeNetSync(kNetSyncData, xid_, message);
  if (!stream_.write(packet)) {
    broken_ = LinkMessage{StreamStatus::Failed, {}, "could not send a NetSync packet"};
    return false;
  }
  return true;
}

LinkMessage NetSyncLink::receive(int timeoutMs) {
  if (broken_) return *broken_;
  int64_t deadline = clock_ ? clock_() + timeoutMs : 0;
  while (true) {
    while (bufferAt_ < bufferEnd_) {
      auto step = reader_.feed(ByteView(buffer_.data() + bufferAt_, bufferEnd_ - bufferAt_));
      bufferAt_ += step.consumed;
      if (step.status == NetSyncReader::Status::Error)
        return fail(StreamStatus::Failed, reader_.error());
      if (step.status == NetSyncReader::Status::NeedMore) break;
      NetSyncPacket packet = reader_.take();
      if (packet.type == kNetSyncTickle) {
        if (role_ == LinkRole::Handheld && clock_) deadline = clock_() + timeoutMs;
        continue;
      }
      if (role_ == LinkRole::Handheld) {
        xid_ = packet.xid;
      } else {
        // Before the first request only the handheld's opening packet (0xFF) may come.
        uint8_t expected = awaiting_ ? xid_ : kHandheldFirstXid;
        if (packet.xid != expected) {
          std::string got = "NetSync packet with transaction id " + std::to_string(packet.xid);
          return fail(StreamStatus::Failed,
                      awaiting_ || xid_ == kHandheldFirstXid
                          ? got + " where " + std::to_string(expected) + " was due"
                          : got + " while no request was out");
        }
        awaiting_ = false;
      }
      return LinkMessage{StreamStatus::Ok, std::move(packet.payload), {}};
    }
    bufferAt_ = bufferEnd_ = 0;

    int wait = timeoutMs;
    if (clock_) {
      int64_t left = deadline - clock_();
      if (left <= 0) return fail(StreamStatus::Timeout, "no NetSync packet within the time-out");
      wait = static_cast<int>(std::min<int64_t>(left, timeoutMs));
    }
    // Sized once: a resize before every read would clear 16 KiB each time.
    if (buffer_.size() != kReadChunk) buffer_.resize(kReadChunk);
    StreamRead got = stream_.read(buffer_.data(), kReadChunk, wait);
    bufferEnd_ = got.status == StreamStatus::Ok ? std::min(got.count, kReadChunk) : 0;
    switch (got.status) {
      case StreamStatus::Ok:
        break;
      case StreamStatus::Timeout:
        if (!clock_) return fail(StreamStatus::Timeout, "no NetSync packet within the time-out");
        break;  // the deadline decides
      case StreamStatus::Closed:
        if (reader_.idle()) return fail(StreamStatus::Closed, "the connection was closed");
        return fail(StreamStatus::Failed, "the connection was closed in the middle of a packet");
      case StreamStatus::Failed:
        return fail(StreamStatus::Failed, "the connection broke");
    }
  }
}

namespace {

HandshakeResult handshakeError(const LinkMessage& got, const char* waitingFor) {
  std::string why =
      got.status == StreamStatus::Timeout ? "nothing came within the time-out" : got.error;
  return {got.status, std::string("NetSync handshake: waiting for ") + waitingFor + ": " + why};
}

HandshakeResult refused(const char* waitingFor, ByteView payload) {
  return {StreamStatus::Failed,
          std::string("NetSync handshake: expected ") + waitingFor + ", got " + describe(payload)};
}

HandshakeResult sendFailed(const char* what) {
  return {StreamStatus::Failed, std::string("NetSync handshake: could not send ") + what};
}

}  // namespace

HandshakeResult desktopHandshake(NetSyncLink& link, int timeoutMs) {
  LinkMessage got = link.receive(timeoutMs);
  if (got.status != StreamStatus::Ok) return handshakeError(got, "the handheld's first packet");
  if (!isHandheldHello(got.message)) {
    return {StreamStatus::Failed,
            "the connection did not begin with a NetSync handshake: got " + describe(got.message)};
  }
  if (!link.send(desktopHello())) return sendFailed("the desktop's first packet");
  got = link.receive(timeoutMs);
  if (got.status != StreamStatus::Ok) return handshakeError(got, "the handheld's second packet");
  if (!isHandheldHelloAck(got.message)) return refused("the handheld's second packet", got.message);
  if (!link.send(desktopHelloAck())) return sendFailed("the desktop's second packet");
  got = link.receive(timeoutMs);
  if (got.status != StreamStatus::Ok) return handshakeError(got, "the handheld's last packet");
  if (!isHandheldReady(got.message)) return refused("the handheld's last packet", got.message);
  return {};
}

HandshakeResult handheldHandshake(NetSyncLink& link, int timeoutMs) {
  if (!link.send(handheldHello())) return sendFailed("the handheld's first packet");
  LinkMessage got = link.receive(timeoutMs);
  if (got.status != StreamStatus::Ok) return handshakeError(got, "the desktop's first packet");
  if (!isDesktopHello(got.message)) return refused("the desktop's first packet", got.message);
  if (!link.send(handheldHelloAck())) return sendFailed("the handheld's second packet");
  got = link.receive(timeoutMs);
  if (got.status != StreamStatus::Ok) return handshakeError(got, "the desktop's second packet");
  if (!isDesktopHelloAck(got.message)) return refused("the desktop's second packet", got.message);
  if (!link.send(handheldReady())) return sendFailed("the handheld's last packet");
  return {};
}

}  // namespace lumora::link
