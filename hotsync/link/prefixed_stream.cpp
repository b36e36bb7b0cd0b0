#include "hotsync/link/prefixed_stream.h"

#include <algorithm>

namespace lumora::link {

StreamRead PrefixedStream::read(uint8_t* buffer, size_t capacity, int timeoutMs) {
  if (at_ == prefix_.size() || capacity == 0) return inner_.read(buffer, capacity, timeoutMs);
  size_t n = std::min(capacity, prefix_.size() - at_);
  std::copy_n(prefix_.begin() + static_cast<std::ptrdiff_t>(at_), n, buffer);
  at_ += n;
  if (at_ == prefix_.size()) {
    prefix_.clear();
    at_ = 0;
  }
  return {StreamStatus::Ok, n};
}

}  // namespace lumora::link
