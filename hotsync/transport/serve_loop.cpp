#include "hotsync/transport/transport.h"

#include <algorithm>
#include <cstdio>

#include "common/monotonic_clock.h"
#include "hotsync/transport/serve_loop_wait.h"

namespace lumora::host {
namespace {

// The longest single wait, so that a stop signal that came between two waits is seen.
constexpr int kSliceMs = 500;

}  // namespace

int serveTransports(std::vector<std::unique_ptr<Transport>> transports,
                    const LinkSessionOptions& options, bool once,
                    const volatile std::sig_atomic_t* stop) {
  size_t next = 0;  // served ones go to the back of the queue, so no line starves another
  while (!*stop) {
    if (transports.empty()) return 1;
    // When each transport is due without its descriptor; -1: not.
    std::vector<int64_t> dueAt(transports.size(), -1);
    int64_t now = steadyMs();
    int timeout = kSliceMs;
    for (size_t i = 0; i < transports.size(); ++i) {
      int interval = transports[i]->pollIntervalMs();
      dueAt[i] = interval < 0 ? -1 : now + interval;
      if (interval >= 0) timeout = std::min(timeout, interval);
    }
    std::vector<bool> ready = waitForAny(transports, timeout);
    now = steadyMs();
    for (size_t k = 0; k < transports.size() && !*stop; ++k) {
      size_t i = (next + k) % transports.size();
      if (!ready[i] && (dueAt[i] < 0 || now < dueAt[i])) continue;
      HotSyncOutcome got = transports[i]->step(options);
      if (got == HotSyncOutcome::None) continue;
      if (got == HotSyncOutcome::Retired) {
        transports.erase(transports.begin() + static_cast<std::ptrdiff_t>(i));
        next = 0;
        break;
      }
      if (once) return got == HotSyncOutcome::Ran ? 0 : 1;
      next = i + 1;
      break;  // what waited meanwhile is polled afresh
    }
  }
  std::printf("stopped\n");
  std::fflush(stdout);
  return once ? 1 : 0;
}

}  // namespace lumora::host
