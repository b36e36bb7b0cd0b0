// A stream whose first bytes were already read, to decide how to speak to it: hands those
// out first, then reads the stream itself. Writes go straight through.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/bytes.h"
#include "hotsync/link/stream.h"

namespace lumora::link {

class PrefixedStream final : public ByteStream {
 public:
  PrefixedStream(ByteStream& inner, Bytes prefix) : inner_(inner), prefix_(std::move(prefix)) {}

  StreamRead read(uint8_t* buffer, size_t capacity, int timeoutMs) override;
  bool write(ByteView bytes) override { return inner_.write(bytes); }

  // Bytes of the prefix not yet read.
  size_t pending() const { return prefix_.size() - at_; }

 private:
  ByteStream& inner_;
  Bytes prefix_;
  size_t at_ = 0;
};

}  // namespace lumora::link
