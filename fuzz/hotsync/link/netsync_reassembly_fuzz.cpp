// NetSync reassembly on arbitrary bytes, split where the input says: the first byte gives
// how many split sizes follow, each 1 to 256 bytes, used in turn. The packets and the error
// must be those of the stream fed whole, no packet may exceed the limit, and the packets
// must re-encode to the bytes they came from.
#include <cstdlib>
#include <string>
#include <vector>

#include "hotsync/link/netsync.h"

namespace {

using lumora::ByteView;
using lumora::link::NetSyncPacket;
using lumora::link::NetSyncReader;

constexpr size_t kLimit = 4096;

struct Outcome {
  std::vector<NetSyncPacket> packets;
  std::string error;
  size_t consumed = 0;
};

Outcome run(ByteView stream, const std::vector<size_t>& splits, bool headerless) {
  NetSyncReader reader(kLimit, headerless);
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
      out.consumed += step.consumed;
      piece = piece.subspan(step.consumed);
      if (step.status == NetSyncReader::Status::Error) {
        if (reader.error().empty()) std::abort();
        out.error = reader.error();
        return out;
      }
      if (step.status == NetSyncReader::Status::NeedMore) {
        if (!piece.empty()) std::abort();
        break;
      }
      NetSyncPacket p = reader.take();
      if (p.payload.size() > kLimit) std::abort();
      out.packets.push_back(std::move(p));
    }
  }
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
  for (bool headerless : {false, true}) {
    Outcome whole = run(stream, {}, headerless);
    Outcome split = run(stream, splits, headerless);
    if (whole.error != split.error || !(whole.packets == split.packets)) std::abort();
    // The packets are the stream's first bytes, header by header.
    lumora::Bytes again;
    for (const NetSyncPacket& p : whole.packets) {
      lumora::Bytes framed = p.headerless ? p.payload : lumora::link::encodeNetSync(p);
      again.insert(again.end(), framed.begin(), framed.end());
    }
    if (again.size() > stream.size() || !std::equal(again.begin(), again.end(), stream.begin())) {
      std::abort();
    }
  }
  return 0;
}
