// One way a handheld reaches `serve`: a listening socket, a serial line, a USB bus. The
// serve loop waits on all of them at once and runs one HotSync at a time; the session code
// does not know which transport carried it.
#pragma once

#include <csignal>
#include <memory>
#include <string>
#include <vector>

#include "hotsync/session/link_session.h"
#include "hotsync/session/serve_session.h"

namespace lumora::host {

// What a step of a transport came to. None: nothing, or a peer that was no HotSync (a line
// said why). Retired: the transport cannot go on (a line said why) and is waited on no
// more.
enum class HotSyncOutcome { None, Ran, Failed, Retired };

inline HotSyncOutcome outcomeOf(SessionOutcome got) {
  return got == SessionOutcome::Ran      ? HotSyncOutcome::Ran
         : got == SessionOutcome::Failed ? HotSyncOutcome::Failed
                                         : HotSyncOutcome::None;
}

class Transport {
 public:
  virtual ~Transport() = default;
  // The line serve prints for it once at the start: "listening on ADDR:PORT", "waiting on
  // DEVICE".
  virtual std::string announcement() const = 0;
  // A descriptor that becomes readable when there is something to take; -1: none now.
  virtual int waitFd() const = 0;
  // At most how long until step() is due anyway (a device to look for again, a time-out to
  // notice); -1: only when waitFd() is readable.
  virtual int pollIntervalMs() const { return -1; }
  // Takes what arrived (a connection, a line's bytes, a device); when that starts a
  // HotSync, runs it to its end before answering.
  virtual HotSyncOutcome step(const LinkSessionOptions& options) = 0;
};

// Waits on every transport at once and steps the ones that are ready, one HotSync at a
// time, until *stop is set, with once the first HotSync has ended, or every transport has
// retired. The exit status: with once 0 when it ran and 1 otherwise; 1 when none is left;
// else 0. Prints "stopped" when stopped.
int serveTransports(std::vector<std::unique_ptr<Transport>> transports,
                    const LinkSessionOptions& options, bool once,
                    const volatile std::sig_atomic_t* stop);

}  // namespace lumora::host
