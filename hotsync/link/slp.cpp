#include "hotsync/link/slp.h"

#include <algorithm>

namespace lumora::link {
namespace {

constexpr uint8_t kSignature[] = {0xBE, 0xEF, 0xED};

// Length of the longest prefix of the signature at the end of bytes, or the whole of it at
// the start: where a frame may begin.
size_t frameStart(ByteView bytes) {
  for (size_t i = 0; i < bytes.size(); ++i) {
    size_t n = std::min(sizeof kSignature, bytes.size() - i);
    if (std::equal(kSignature, kSignature + n, bytes.begin() + static_cast<std::ptrdiff_t>(i)))
      return i;
  }
  return bytes.size();
}

}  // namespace

uint16_t slpCrc16(ByteView bytes, uint16_t crc) {
  for (uint8_t b : bytes) {
    crc = static_cast<uint16_t>(crc ^ (uint16_t{b} << 8));
    for (int bit = 0; bit < 8; ++bit) {
      crc = static_cast<uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
    }
  }
  return crc;
}

uint8_t slpHeaderChecksum(ByteView firstNine) {
  unsigned sum = 0;
  for (size_t i = 0; i < firstNine.size() && i < 9; ++i) sum += firstNine[i];
  return static_cast<uint8_t>(sum);
}

Bytes encodeSlp(const SlpFrame& frame) {
  if (frame.payload.size() > 0xFFFF) return {};
  Bytes out;
  out.reserve(kSlpFrameOverhead + frame.payload.size());
  out.insert(out.end(), std::begin(kSignature), std::end(kSignature));
  appendU8(out, frame.dest);
  appendU8(out, frame.src);
  appendU8(out, frame.type);
  appendBe16(out, static_cast<uint16_t>(frame.payload.size()));
  appendU8(out, frame.xid);
  appendU8(out, slpHeaderChecksum(out));
  out.insert(out.end(), frame.payload.begin(), frame.payload.end());
  appendBe16(out, slpCrc16(out));
  return out;
}

SlpReader::SlpReader(size_t maxPayload) : maxPayload_(std::min<size_t>(maxPayload, 0xFFFF)) {}

void SlpReader::dropFirst() {
  ++dropped_;
  pending_.erase(pending_.begin());
}

bool SlpReader::scan(size_t& need) {
  while (true) {
    size_t start = frameStart(pending_);
    skipped_ += start;
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(start));
    if (pending_.size() < kSlpHeaderSize) {
      need = kSlpHeaderSize - pending_.size();
      return false;
    }
    ByteView bytes(pending_);
    if (slpHeaderChecksum(bytes.first(9)) != bytes[9]) {
      dropFirst();
      continue;
    }
    size_t length = loadBe16(bytes.data() + 6);
    if (length > maxPayload_) {
      dropFirst();
      continue;
    }
    size_t total = kSlpFrameOverhead + length;
    if (pending_.size() < total) {
      need = total - pending_.size();
      return false;
    }
    if (slpCrc16(bytes.first(total - 2)) != loadBe16(bytes.data() + total - 2)) {
      dropFirst();
      continue;
    }
    frame_ = SlpFrame{bytes[3], bytes[4], bytes[5], bytes[8],
                      Bytes(bytes.begin() + kSlpHeaderSize, bytes.begin() + total - 2)};
    raw_.assign(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(total));
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(total));
    return true;
  }
}

SlpReader::Step SlpReader::feed(ByteView input) {
  if (ready_) return {Status::Frame, 0};
  size_t used = 0;
  while (true) {
    size_t need = 0;
    if (scan(need)) {
      ready_ = true;
      return {Status::Frame, used};
    }
    if (used == input.size()) return {Status::NeedMore, used};
    if (pending_.empty()) {
      // Skip line noise without copying it.
      auto from = input.begin() + static_cast<std::ptrdiff_t>(used);
      auto at = std::find(from, input.end(), kSignature[0]);
      skipped_ += static_cast<size_t>(at - from);
      used += static_cast<size_t>(at - from);
      if (used == input.size()) return {Status::NeedMore, used};
    }
    size_t take = std::min(need, input.size() - used);
    auto from = input.begin() + static_cast<std::ptrdiff_t>(used);
    pending_.insert(pending_.end(), from, from + static_cast<std::ptrdiff_t>(take));
    used += take;
  }
}

SlpFrame SlpReader::take() {
  ready_ = false;
  SlpFrame out = std::move(frame_);
  frame_ = SlpFrame{};
  return out;
}

}  // namespace lumora::link
