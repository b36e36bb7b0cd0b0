#include "hotsync/link/netsync.h"

#include <algorithm>

namespace lumora::link {

Bytes encodeNetSync(uint8_t type, uint8_t xid, ByteView payload) {
  Bytes out;
  out.reserve(kNetSyncHeaderSize + payload.size());
  appendU8(out, type);
  appendU8(out, xid);
  appendBe32(out, static_cast<uint32_t>(payload.size()));
  out.insert(out.end(), payload.begin(), payload.end());
  return out;
}

NetSyncReader::NetSyncReader(size_t maxPayload, bool allowHeaderless)
    : maxPayload_(maxPayload), allowHeaderless_(allowHeaderless) {}

NetSyncReader::Step NetSyncReader::fail(size_t consumed, std::string message) {
  state_ = State::Failed;
  error_ = std::move(message);
  packet_ = NetSyncPacket{};
  return {Status::Error, consumed};
}

NetSyncReader::Step NetSyncReader::startPayload(size_t consumed) {
  uint8_t type = header_[0];
  length_ = loadBe32(header_.data() + 2);
  if (type != kNetSyncData && type != kNetSyncTickle) {
    return fail(consumed, "unknown NetSync packet type " + std::to_string(type));
  }
  if (length_ > maxPayload_) {
    return fail(consumed, "NetSync packet announces " + std::to_string(length_) +
                              " bytes, more than the limit of " + std::to_string(maxPayload_));
  }
  packet_ = NetSyncPacket{type, header_[1], {}, false};
  // Grow with what arrives instead of trusting the announced length up front.
  packet_.payload.reserve(std::min<size_t>(length_, 64 * 1024));
  gathered_ = 0;
  if (length_ == 0) {
    state_ = State::Ready;
    return {Status::Packet, consumed};
  }
  state_ = State::Payload;
  return {Status::NeedMore, consumed};
}

NetSyncReader::Step NetSyncReader::feed(ByteView input) {
  if (state_ == State::Failed) return {Status::Error, 0};
  if (state_ == State::Ready) return {Status::Packet, 0};
  size_t used = 0;
  if (atStart_ && !input.empty()) {
    atStart_ = false;
    if (allowHeaderless_ && input[0] == 0x90) {
      state_ = State::Headerless;
      packet_ = NetSyncPacket{kNetSyncData, kHandheldFirstXid, {}, true};
      length_ = kHandheldHelloSize;
    }
  }
  while (used < input.size()) {
    if (state_ == State::Header) {
      size_t take = std::min(kNetSyncHeaderSize - gathered_, input.size() - used);
      std::copy_n(input.begin() + static_cast<std::ptrdiff_t>(used), take,
                  header_.begin() + static_cast<std::ptrdiff_t>(gathered_));
      gathered_ += take;
      used += take;
      if (gathered_ == kNetSyncHeaderSize) {
        Step step = startPayload(used);
        if (step.status != Status::NeedMore) return step;
      }
    } else {
      size_t take = std::min<size_t>(length_ - packet_.payload.size(), input.size() - used);
      auto from = input.begin() + static_cast<std::ptrdiff_t>(used);
      packet_.payload.insert(packet_.payload.end(), from, from + static_cast<std::ptrdiff_t>(take));
      used += take;
      if (packet_.payload.size() == length_) {
        state_ = State::Ready;
        return {Status::Packet, used};
      }
    }
  }
  return {Status::NeedMore, used};
}

NetSyncPacket NetSyncReader::take() {
  NetSyncPacket out = std::move(packet_);
  packet_ = NetSyncPacket{};
  if (state_ == State::Ready) {
    state_ = State::Header;
    gathered_ = 0;
  }
  return out;
}

namespace {

constexpr uint8_t kHelloPrefix[] = {0x90, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00,
                                    0x00, 0x00, 0x20, 0x00, 0x00, 0x00, 0x08};
constexpr uint8_t kDesktopHello[] = {0x12, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x20,
                                     0x00, 0x00, 0x00, 0x24, 0xFF, 0xFF, 0xFF, 0xFF, 0x3C, 0x00,
                                     0x3C, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                                     0xC0, 0xA8, 0x01, 0x21, 0x04, 0x27, 0x00, 0x00, 0x00, 0x00,
                                     0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
constexpr uint8_t kDesktopHelloAck[] = {
    0x13, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x20, 0x00, 0x00, 0x00, 0x20, 0xFF, 0xFF,
    0xFF, 0xFF, 0x00, 0x3C, 0x00, 0x3C, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
static_assert(sizeof(kDesktopHello) == 50 && sizeof(kDesktopHelloAck) == 46);

Bytes copyOf(const uint8_t* p, size_t n) {
  return Bytes(p, p + n);
}

}  // namespace

Bytes handheldHello(uint8_t variant) {
  Bytes out = copyOf(kHelloPrefix, sizeof kHelloPrefix);
  appendU8(out, variant);
  out.resize(kHandheldHelloSize, 0);
  return out;
}

Bytes desktopHello() {
  return copyOf(kDesktopHello, sizeof kDesktopHello);
}

Bytes handheldHelloAck() {
  // Shaped like the desktop's packet 2, without an address.
  Bytes out = desktopHello();
  out[0] = 0x92;
  std::fill(out.begin() + 30, out.begin() + 36, 0);
  return out;
}

Bytes desktopHelloAck() {
  return copyOf(kDesktopHelloAck, sizeof kDesktopHelloAck);
}

Bytes handheldReady() {
  return Bytes{0x93, 0, 0, 0, 0, 0, 0, 0};
}

bool isHandheldHello(ByteView payload) {
  return payload.size() == kHandheldHelloSize &&
         std::equal(std::begin(kHelloPrefix), std::end(kHelloPrefix), payload.begin());
}

bool isDesktopHello(ByteView payload) {
  return payload.size() >= 2 && payload[0] == 0x12 && payload[1] == 0x01;
}

bool isHandheldHelloAck(ByteView payload) {
  return payload.size() >= 2 && payload[0] == 0x92 && payload[1] == 0x01;
}

bool isDesktopHelloAck(ByteView payload) {
  return payload.size() >= 2 && payload[0] == 0x13 && payload[1] == 0x01;
}

bool isHandheldReady(ByteView payload) {
  return payload.size() >= 1 && payload[0] == 0x93;
}

}  // namespace lumora::link
