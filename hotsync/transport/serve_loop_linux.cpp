#include <poll.h>

#include <chrono>
#include <thread>

#include "hotsync/transport/serve_loop_wait.h"

namespace lumora::host {

// Which transports are ready after waiting at most timeoutMs for any of their descriptors.
std::vector<bool> waitForAny(const std::vector<std::unique_ptr<Transport>>& transports,
                             int timeoutMs) {
  std::vector<bool> ready(transports.size(), false);
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
  return ready;
}

}  // namespace lumora::host
