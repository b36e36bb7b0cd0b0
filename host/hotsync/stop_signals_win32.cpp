#include "host/hotsync/stop_signals.h"

#include <csignal>

namespace lumora::host {

void catchStopSignals(void (*handler)(int)) {
  std::signal(SIGINT, handler);
}

}  // namespace lumora::host
