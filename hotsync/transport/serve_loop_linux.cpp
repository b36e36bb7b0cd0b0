#include "hotsync/transport/transport.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

#include "common/monotonic_clock.h"

#ifndef _WIN32
#include <poll.h>
#endif

namespace lumora::host {
namespace {

// The longest single wait, so that a stop signal that came between two waits is seen.
constexpr int kSliceMs = 500;

// Which transports are ready after waiting at most timeoutMs for any of their descriptors.
std::vector<bool> waitForAny(const std::vector<std::unique_ptr<Transport>>& transports,
                             int timeoutMs) {
  std::vector<bool> ready(transports.size(), false);
#ifdef _WIN32
  // No descriptors to wait on here: every transport looks for itself.
  std::this_thread::sleep_for(std::chrono::milliseconds(std::min(timeoutMs, 100)));
  std::fill(ready.begin(), ready.end(), true);
#else
  std::vector<pollfd> fds;
  std::vector<size_t> owner;
  for (size_t i = 0; i < transports.size(); ++i) {
    if (int fd = transports[i]->waitFd(); fd >= 0) {
      fds.push_back({fd, POLLIN, 0});
      owner.push_back(i);
    }
  }
  if (fds.empty()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(timeoutMs));
    return ready;
  }
  // A signal ends the wait early (EINTR); the caller looks at the stop flag.
  if (::poll(fds.data(), fds.size(), timeoutMs) <= 0) return ready;
  for (size_t k = 0; k < fds.size(); ++k)
    if (fds[k].revents != 0) ready[owner[k]] = true;
#endif
  return ready;
}

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
