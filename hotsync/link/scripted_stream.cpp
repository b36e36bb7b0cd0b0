#include "hotsync/link/scripted_stream.h"

#include <algorithm>
#include <cstring>

namespace lumora::link {

ScriptedStream::ScriptedStream(Split split, uint32_t seed) : split_(split), random_(seed | 1) {}

void ScriptedStream::deliver(ByteView bytes) {
  if (bytes.empty()) return;
  script_.push_back(Step{Kind::Data, Bytes(bytes.begin(), bytes.end()), 0});
}

void ScriptedStream::silence() {
  script_.push_back(Step{Kind::Silence, {}, 0});
}

void ScriptedStream::fail() {
  script_.push_back(Step{Kind::Fail, {}, 0});
}

void ScriptedStream::close() {
  script_.push_back(Step{Kind::Close, {}, 0});
}

size_t ScriptedStream::nextPiece(size_t available) {
  switch (split_) {
    case Split::Whole:
      return available;
    case Split::ByteWise:
      return 1;
    case Split::Random:
      // xorshift: repeatable without the standard library's engines' size.
      random_ ^= random_ << 13;
      random_ ^= random_ >> 17;
      random_ ^= random_ << 5;
      return 1 + random_ % std::max<size_t>(available, 1);
    case Split::Cuts:
      if (cuts_.empty()) return available;
      return std::max<size_t>(cuts_[nextCut_++ % cuts_.size()], 1);
  }
  return available;
}

StreamRead ScriptedStream::read(uint8_t* buffer, size_t capacity, int timeoutMs) {
  ++reads_;
  if (script_.empty()) return {StreamStatus::Closed, 0};
  Step& step = script_.front();
  switch (step.kind) {
    case Kind::Silence:
      now_ += std::max(timeoutMs, 0);
      script_.pop_front();
      return {StreamStatus::Timeout, 0};
    case Kind::Fail:
      script_.pop_front();
      return {StreamStatus::Failed, 0};
    case Kind::Close:
      return {StreamStatus::Closed, 0};
    case Kind::Data:
      break;
  }
  if (capacity == 0) return {StreamStatus::Ok, 0};
  size_t available = step.bytes.size() - step.at;
  size_t n = std::min({nextPiece(available), available, capacity});
  std::memcpy(buffer, step.bytes.data() + step.at, n);
  step.at += n;
  if (step.at == step.bytes.size()) script_.pop_front();
  return {StreamStatus::Ok, n};
}

bool ScriptedStream::write(ByteView bytes) {
  size_t room = writeLimit_ > written_.size() ? writeLimit_ - written_.size() : 0;
  size_t n = std::min(room, bytes.size());
  written_.insert(written_.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
  return n == bytes.size();
}

}  // namespace lumora::link
