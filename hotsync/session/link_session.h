// One HotSync with a handheld at the far end of a link, once the link is up: who the
// handheld belongs to, its queued files, the conduit, and the closing steps the handheld
// shows the user.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "hotsync/format/handheld_clock.h"
#include "hotsync/link/message_link.h"
#include "platform/process/test_hooks.h"

namespace lumora::host {

struct LinkSessionOptions {
  std::optional<std::string> user;      // instead of the handheld's own user name
  std::optional<uint32_t> syncType;     // instead of the user's next action
  int timeoutMs = link::kDlpTimeoutMs;  // for each answer of the handheld
  bool quiet = false;                   // no status while the HotSync runs, no totals
  // Whether the handheld reached this desktop over a local transport (USB, a serial line,
  // a listener on a loopback address): an unknown handheld is accepted only then, or with
  // acceptNewUsers, or when its name waits in 'users pair'.
  bool peerIsLocal = true;
  bool acceptNewUsers = false;
  // The handheld's "now" (seconds since 1904) written as the date of its last HotSync, so
  // that runs compare; unset, this machine's clock. Options made by a program or a test
  // start from LUMORA_HANDHELD_TIME.
  std::optional<uint32_t> handheldTime = hotsync::palmTimeFromUnixText(hooks::handheldTime());
};

struct LinkSessionResult {
  bool ran = false;  // the conduit ran and the session was closed with EndOfSync
  std::string user;
  std::string error;  // why not, for a line of output
};

LinkSessionResult runLinkSession(link::MessageLink& link, const LinkSessionOptions& options);

}  // namespace lumora::host
