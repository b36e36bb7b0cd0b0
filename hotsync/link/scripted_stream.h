// A ByteStream that plays a script instead of a connection, for tests and fuzz targets:
// incoming bytes are handed out in chosen pieces (whole, one byte at a time, random cuts or
// given cuts), with silences, a failure or the end of the stream where the script puts
// them; everything written is recorded, and writes can be cut short. A fake clock advances
// by the time-out of every silent read, so time-outs are tested without waiting.
#pragma once

#include <cstdint>
#include <deque>
#include <vector>

#include "common/bytes.h"
#include "hotsync/link/stream.h"

namespace lumora::link {

class ScriptedStream final : public ByteStream {
 public:
  enum class Split {
    Whole,     // each delivery in one read (as far as the reader's buffer allows)
    ByteWise,  // one byte per read
    Random,    // pieces of random size, repeatable from the seed
    Cuts,      // the sizes given with setCuts, in turn (0 is taken as 1)
  };

  explicit ScriptedStream(Split split = Split::Whole, uint32_t seed = 1);

  // The script, in order. After the last step every read answers Closed.
  void deliver(ByteView bytes);
  void silence();  // one read answers Timeout
  void fail();     // one read answers Failed
  void close();    // every later read answers Closed, whatever follows in the script
  void setCuts(std::vector<size_t> cuts) { cuts_ = std::move(cuts); }

  // Writes succeed until this many bytes in total have been written; the write that
  // crosses the limit stores its first part and fails.
  void failWritesAfter(size_t bytes) { writeLimit_ = bytes; }

  StreamRead read(uint8_t* buffer, size_t capacity, int timeoutMs) override;
  bool write(ByteView bytes) override;

  const Bytes& written() const { return written_; }
  int64_t now() const { return now_; }
  size_t reads() const { return reads_; }

 private:
  enum class Kind { Data, Silence, Fail, Close };
  struct Step {
    Kind kind = Kind::Data;
    Bytes bytes;
    size_t at = 0;
  };
  size_t nextPiece(size_t available);

  Split split_;
  uint32_t random_;
  std::deque<Step> script_;
  std::vector<size_t> cuts_;
  size_t nextCut_ = 0;
  size_t writeLimit_ = SIZE_MAX;
  Bytes written_;
  int64_t now_ = 0;
  size_t reads_ = 0;
};

}  // namespace lumora::link
