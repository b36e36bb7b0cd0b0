// The framing recogniser on arbitrary bytes, split where the input says: the first byte
// gives how many split sizes follow, each 1 to 256 bytes, used in turn. Fed in pieces it
// must decide as on the whole input, keep the bytes from the frame's start on, and never
// contradict on a longer input what it decided on a shorter one.
#include <cstdlib>
#include <vector>

#include "hotsync/link/framing.h"

namespace {

using lumora::ByteView;
using lumora::link::Framing;
using lumora::link::FramingGuess;
using lumora::link::FramingRecogniser;
using lumora::link::recogniseFraming;

constexpr size_t kMaxNoise = 64;

void check(bool ok) {
  if (!ok) std::abort();
}

bool isFrame(Framing f) {
  return f == Framing::Slp || f == Framing::NetSync;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  size_t count = data[0];
  std::vector<size_t> splits;
  size_t at = 1;
  for (; at < size && splits.size() < count; ++at) splits.push_back(size_t{data[at]} + 1);
  ByteView stream(data + at, size - at);

  FramingGuess whole = recogniseFraming(stream);
  check(whole.skip <= stream.size());
  check(whole.framing != Framing::Neither || whole.skip == stream.size());

  // Every shorter input that decided agrees with the whole.
  for (size_t n = 0; n <= stream.size() && n <= 64; ++n) {
    FramingGuess part = recogniseFraming(stream.first(n));
    if (isFrame(part.framing)) check(part == whole);
  }

  FramingRecogniser recogniser(kMaxNoise);
  size_t fed = 0, turn = 0;
  while (fed < stream.size() && !recogniser.decided()) {
    size_t n = splits.empty() ? stream.size() - fed : splits[turn++ % splits.size()];
    if (n > stream.size() - fed) n = stream.size() - fed;
    recogniser.feed(stream.subspan(fed, n));
    fed += n;
  }
  if (isFrame(whole.framing) && whole.skip <= kMaxNoise) {
    check(recogniser.framing() == whole.framing);
    check(recogniser.skipped() == whole.skip);
    // The kept bytes are the stream from the frame's start up to where feeding stopped.
    const auto& seen = recogniser.seen();
    check(seen.size() == fed - whole.skip);
    for (size_t i = 0; i < seen.size(); ++i) check(seen[i] == stream[whole.skip + i]);
  } else if (whole.skip > kMaxNoise) {
    check(recogniser.framing() == Framing::Neither);
  } else {
    check(recogniser.framing() == Framing::NeedMore);
    check(recogniser.skipped() == whole.skip);
  }
  return 0;
}
