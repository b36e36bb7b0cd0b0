#include <algorithm>
#include <chrono>
#include <thread>

#include "hotsync/transport/serve_loop_wait.h"

namespace lumora::host {

// Which transports are ready after waiting at most timeoutMs for any of their descriptors.
std::vector<bool> waitForAny(const std::vector<std::unique_ptr<Transport>>& transports,
                             int timeoutMs) {
  std::vector<bool> ready(transports.size(), false);
  // No descriptors to wait on here: every transport looks for itself.
  std::this_thread::sleep_for(std::chrono::milliseconds(std::min(timeoutMs, 100)));
  std::fill(ready.begin(), ready.end(), true);
  return ready;
}

}  // namespace lumora::host
