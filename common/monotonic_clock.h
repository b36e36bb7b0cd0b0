// Milliseconds on a clock that never goes back, for time-outs and pacing.
#pragma once

#include <chrono>
#include <cstdint>

namespace lumora {

inline int64_t steadyMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace lumora
