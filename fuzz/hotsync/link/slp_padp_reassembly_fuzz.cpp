// SLP framing and PADP reassembly on arbitrary bytes, split where the input says: the first
// byte gives how many split sizes follow, each 1 to 256 bytes, used in turn. The frames must
// be those of the stream fed whole, each must re-encode to the bytes it came from and stay
// within the limit, and no reassembled message may exceed its limit.
#include <cstdlib>
#include <vector>

#include "hotsync/link/padp.h"
#include "hotsync/link/slp.h"

namespace {

using lumora::Bytes;
using lumora::ByteView;
using namespace lumora::link;

constexpr size_t kFrameLimit = 1100;
constexpr size_t kMessageLimit = 8192;

struct Outcome {
  std::vector<SlpFrame> frames;
  size_t dropped = 0;
};

Outcome run(ByteView stream, const std::vector<size_t>& splits) {
  SlpReader reader(kFrameLimit);
  PadpAssembler assembler(kMessageLimit);
  Outcome out;
  size_t at = 0, turn = 0;
  while (at < stream.size()) {
    size_t n = splits.empty() ? stream.size() - at : splits[turn++ % splits.size()];
    if (n > stream.size() - at) n = stream.size() - at;
    ByteView piece = stream.subspan(at, n);
    at += n;
    while (true) {
      auto step = reader.feed(piece);
      if (step.consumed > piece.size()) std::abort();
      piece = piece.subspan(step.consumed);
      if (step.status == SlpReader::Status::NeedMore) {
        if (!piece.empty()) std::abort();
        break;
      }
      SlpFrame frame = reader.take();
      if (frame.payload.size() > kFrameLimit || encodeSlp(frame) != reader.lastRaw()) std::abort();
      if (auto padp = decodePadp(frame.payload)) {
        auto again = encodePadp(*padp);
        if (!again || *again != frame.payload) std::abort();
        if (padp->type == kPadpData && assembler.add(*padp) == PadpAssembler::Outcome::Complete &&
            assembler.take().size() > kMessageLimit)
          std::abort();
      }
      out.frames.push_back(std::move(frame));
    }
  }
  out.dropped = reader.droppedFrames();
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  size_t count = data[0] % 16;
  if (size < 1 + count) return 0;
  std::vector<size_t> splits;
  for (size_t i = 0; i < count; ++i) splits.push_back(size_t{data[1 + i]} + 1);
  ByteView stream(data + 1 + count, size - 1 - count);
  Outcome whole = run(stream, {});
  Outcome split = run(stream, splits);
  if (!(whole.frames == split.frames) || whole.dropped != split.dropped) std::abort();
  return 0;
}
