#include "hotsync/link/padp.h"

#include <algorithm>

namespace lumora::link {

Result<PadpPacket> decodePadp(ByteView payload) {
  if (payload.size() < 4) {
    return makeError(ErrorCode::Truncated,
                     "PADP packet of " + std::to_string(payload.size()) + " bytes, less than 4");
  }
  PadpPacket p;
  p.type = payload[0];
  p.flags = payload[1];
  size_t header = 4;
  if (p.longForm()) {
    if (payload.size() < 6) {
      return makeError(
          ErrorCode::Truncated,
          "long-form PADP packet of " + std::to_string(payload.size()) + " bytes, less than 6");
    }
    p.sizeOrOffset = loadBe32(payload.data() + 2);
    header = 6;
  } else {
    p.sizeOrOffset = loadBe16(payload.data() + 2);
  }
  if (p.type != kPadpData && p.type != kPadpAck && p.type != kPadpTickle && p.type != kPadpAbort)
    return makeError(ErrorCode::BadValue, "unknown PADP type " + std::to_string(p.type));
  p.data.assign(payload.begin() + static_cast<std::ptrdiff_t>(header), payload.end());
  return p;
}

Result<Bytes> encodePadp(const PadpPacket& p) {
  Bytes out;
  out.reserve(6 + p.data.size());
  appendU8(out, p.type);
  appendU8(out, p.flags);
  if (p.longForm()) {
    appendBe32(out, p.sizeOrOffset);
  } else {
    if (p.sizeOrOffset > 0xFFFF) {
      return makeError(
          ErrorCode::TooLarge,
          "PADP size or offset " + std::to_string(p.sizeOrOffset) + " does not fit the short form");
    }
    appendBe16(out, static_cast<uint16_t>(p.sizeOrOffset));
  }
  out.insert(out.end(), p.data.begin(), p.data.end());
  return out;
}

Result<std::vector<PadpPacket>> fragmentMessage(ByteView message, bool longForm,
                                                size_t maxFragment) {
  if (message.size() > 0xFFFFFFFFu || (!longForm && message.size() > 0xFFFF)) {
    return makeError(ErrorCode::TooLarge, "message of " + std::to_string(message.size()) +
                                              " bytes is too long for PADP" +
                                              (longForm ? "" : " without the long form"));
  }
  maxFragment = std::clamp<size_t>(maxFragment, 1, kPadpMaxFragment);
  std::vector<PadpPacket> out;
  size_t at = 0;
  do {
    size_t n = std::min(maxFragment, message.size() - at);
    PadpPacket p;
    p.type = kPadpData;
    p.flags = static_cast<uint8_t>((at == 0 ? kPadpFirst : 0) |
                                   (at + n == message.size() ? kPadpLast : 0) |
                                   (longForm ? kPadpLongForm : 0));
    p.sizeOrOffset = static_cast<uint32_t>(at == 0 ? message.size() : at);
    auto from = message.begin() + static_cast<std::ptrdiff_t>(at);
    p.data.assign(from, from + static_cast<std::ptrdiff_t>(n));
    out.push_back(std::move(p));
    at += n;
  } while (at < message.size());
  return out;
}

PadpPacket ackFor(const PadpPacket& fragment) {
  PadpPacket ack;
  ack.type = kPadpAck;
  ack.flags = static_cast<uint8_t>(fragment.flags & (kPadpFirst | kPadpLast | kPadpLongForm));
  ack.sizeOrOffset = fragment.sizeOrOffset;
  return ack;
}

PadpAssembler::PadpAssembler(size_t maxMessage) : maxMessage_(maxMessage) {}

PadpAssembler::Outcome PadpAssembler::refuse(std::string why) {
  error_ = std::move(why);
  started_ = false;
  message_.clear();
  return Outcome::Refused;
}

PadpAssembler::Outcome PadpAssembler::add(const PadpPacket& f) {
  if (f.type != kPadpData) return refuse("PADP packet of type " + std::to_string(f.type));
  if (f.data.size() > kPadpMaxFragment) {
    return refuse("PADP fragment of " + std::to_string(f.data.size()) + " bytes, more than " +
                  std::to_string(kPadpMaxFragment));
  }
  bool first = (f.flags & kPadpFirst) != 0;
  bool last = (f.flags & kPadpLast) != 0;
  if (first) {
    if (started_) {
      // The first fragment again: the peer did not hear our ack.
      if (f.sizeOrOffset == size_ && message_.size() >= f.data.size() &&
          std::equal(f.data.begin(), f.data.end(), message_.begin()))
        return Outcome::Duplicate;
      return refuse("a new PADP message began before the last one was whole");
    }
    if (f.sizeOrOffset > maxMessage_) {
      return refuse("PADP message announces " + std::to_string(f.sizeOrOffset) +
                    " bytes, more than the limit of " + std::to_string(maxMessage_));
    }
    started_ = true;
    size_ = f.sizeOrOffset;
    message_.clear();
    message_.reserve(std::min<size_t>(size_, 64 * 1024));
  } else {
    if (!started_)
      return refuse("a PADP fragment at offset " + std::to_string(f.sizeOrOffset) +
                    " without a first fragment");
    if (f.sizeOrOffset < message_.size()) return Outcome::Duplicate;
    if (f.sizeOrOffset != message_.size()) {
      return refuse("PADP fragment at offset " + std::to_string(f.sizeOrOffset) + " where " +
                    std::to_string(message_.size()) + " was due");
    }
  }
  if (f.data.size() > size_ - message_.size()) {
    return refuse("PADP fragments carry more than the " + std::to_string(size_) +
                  " bytes announced");
  }
  message_.insert(message_.end(), f.data.begin(), f.data.end());
  if (last != (message_.size() == size_)) {
    return refuse(last ? "last PADP fragment ends at " + std::to_string(message_.size()) + " of " +
                             std::to_string(size_) + " bytes"
                       : "PADP message of " + std::to_string(size_) +
                             " bytes is whole but its fragment is not marked last");
  }
  if (!last) return Outcome::Added;
  started_ = false;
  done_ = std::move(message_);
  message_ = Bytes{};
  return Outcome::Complete;
}

Bytes PadpAssembler::take() {
  Bytes out = std::move(done_);
  done_ = Bytes{};
  return out;
}

}  // namespace lumora::link
