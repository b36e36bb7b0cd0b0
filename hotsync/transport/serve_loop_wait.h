// The serve loop's wait, one file per platform.
#pragma once

#include <memory>
#include <vector>

#include "hotsync/transport/transport.h"

namespace lumora::host {

// Which transports are ready after waiting at most timeoutMs for any of their descriptors.
std::vector<bool> waitForAny(const std::vector<std::unique_ptr<Transport>>& transports,
                             int timeoutMs);

}  // namespace lumora::host
