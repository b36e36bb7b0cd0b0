// The bytes of a link in both directions, whatever carries them: a TCP connection, a
// serial line, or a test script. Only implementations of this interface touch the OS.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/bytes.h"

namespace lumora::link {

enum class StreamStatus {
  Ok,       // count bytes arrived (at least one)
  Timeout,  // nothing arrived in time
  Closed,   // the other side closed the connection
  Failed,   // the connection broke, or the wait was interrupted
};

struct StreamRead {
  StreamStatus status = StreamStatus::Failed;
  size_t count = 0;
};

class ByteStream {
 public:
  virtual ~ByteStream() = default;
  // Waits at most timeoutMs for bytes and stores up to capacity of them.
  virtual StreamRead read(uint8_t* buffer, size_t capacity, int timeoutMs) = 0;
  // Writes all of bytes, or fails.
  virtual bool write(ByteView bytes) = 0;
};

}  // namespace lumora::link
