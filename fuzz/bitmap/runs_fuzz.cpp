// The run-length coder both ways. The first byte picks the unit and the plain size the
// rest is expanded into; the rest, taken as plain data, must also survive a round trip.
#include <algorithm>
#include <cstdlib>

#include "bitmap/format.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace lumora::bitmap;
  if (size == 0) return 0;
  const RunUnit unit = data[0] & 1 ? RunUnit::word : RunUnit::byte;
  const lumora::ByteView rest(data + 1, size - 1);

  lumora::Bytes plain(static_cast<size_t>(data[0] >> 1) * 37);
  auto used = unpackRuns(rest, unit, plain);
  if (used && *used > rest.size()) abort();

  const lumora::Bytes coded = packRuns(rest, unit);
  if (coded.size() > packedBound(rest.size(), unit)) abort();
  const size_t whole = rest.size() / static_cast<size_t>(unit) * static_cast<size_t>(unit);
  lumora::Bytes back(whole);
  auto consumed = unpackRuns(coded, unit, back);
  if (!consumed || *consumed != coded.size() || !std::equal(back.begin(), back.end(), rest.begin()))
    abort();
  return 0;
}
