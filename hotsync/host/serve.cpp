// lumora-hotsync serve: waits for network HotSyncs of real handhelds, emulators and
// lumora-handheld, one at a time.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <string>

#include "hotsync/host/commands.h"
#include "hotsync/host/hotsync_run.h"
#include "hotsync/host/link_session.h"
#include "hotsync/host/options.h"
#include "hotsync/host/tcp_stream.h"
#include "hotsync/link/netsync_link.h"

namespace lumora::host {
namespace {

constexpr const char* kUsage =
    "usage: lumora-hotsync serve [--listen ADDR:PORT] [--once] [--user NAME] [--sync-type N]\n"
    "\n"
    "Waits for network HotSyncs (NetSync) and runs each like 'sync': the handheld's user\n"
    "(or NAME), its queued files installed, the conduit registered for creator LmDx with the\n"
    "user's next action (or sync type N), then the HotSync summary and last sync date written\n"
    "to the handheld. One HotSync at a time; every HotSync log entry is printed as\n"
    "'[ACTIVITY] TEXT' and kept in the user's log. The first line of output is\n"
    "'listening on ADDR:PORT'.\n"
    "\n"
    "  --listen ADDR:PORT  where to listen (default 127.0.0.1:14238, this machine only;\n"
    "                      0.0.0.0:14238 lets a handheld on the local network in; port 0\n"
    "                      picks a free port)\n"
    "  --once              end after the first HotSync\n"
    "\n"
    "A connection that does not begin with the NetSync handshake, or stalls for 30 s, is\n"
    "closed with a line, and the server goes on. Ctrl-C ends the server.\n"
    "Exit status: 0 (with --once: the HotSync ran), 1 the HotSync could not run or the\n"
    "address cannot be used, 2 usage error.\n";

constexpr const char* kDefaultListen = "127.0.0.1:14238";
constexpr int kAcceptSliceMs = 500;

volatile std::sig_atomic_t stopRequested = 0;

extern "C" void onStopSignal(int) {
  stopRequested = 1;
}

// Ctrl-C interrupts a wait rather than restarting it, so that a session ends promptly.
void catchStopSignals() {
#if defined(_WIN32)
  std::signal(SIGINT, onStopSignal);
#else
  struct sigaction action {};
  action.sa_handler = onStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
#endif
}

int64_t steadyMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// One connection: the handshake, then the HotSync. True when the HotSync ran.
bool serveConnection(TcpStream& stream, const LinkSessionOptions& options, bool& wasHotSync) {
  const std::string peer = stream.peer();
  link::NetSyncLink wire(stream, link::LinkRole::Desktop, steadyMs);
  wasHotSync = false;
  if (auto hello = link::desktopHandshake(wire); !hello) {
    std::printf("closed the connection from %s: %s\n", peer.c_str(), hello.error.c_str());
    std::fflush(stdout);
    return false;
  }
  wasHotSync = true;
  std::printf("HotSync from %s\n", peer.c_str());
  std::fflush(stdout);
  LinkSessionResult result = runLinkSession(wire, options);
  if (result.ran)
    std::printf("HotSync of %s complete\n", result.user.c_str());
  else
    std::printf("HotSync from %s failed: %s\n", peer.c_str(), result.error.c_str());
  std::fflush(stdout);
  return result.ran;
}

}  // namespace

int runServe(int argc, char** argv) {
  ParsedOptions opts = parseOptions(argc, argv, {"--listen", "--user", "--sync-type"}, {"--once"});
  if (opts.help) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (!opts.error.empty()) {
    std::fprintf(stderr, "lumora-hotsync serve: %s\n\n%s", opts.error.c_str(), kUsage);
    return 2;
  }
  LinkSessionOptions options;
  if (auto user = opts.value("--user")) {
    if (user->empty()) {
      std::fprintf(stderr, "lumora-hotsync serve: --user needs a name\n");
      return 2;
    }
    options.user = *user;
  }
  if (auto text = opts.value("--sync-type")) {
    options.syncType = parseSyncType(*text);
    if (!options.syncType) {
      std::fprintf(stderr, "lumora-hotsync serve: --sync-type takes a number, not '%s'\n",
                   text->c_str());
      return 2;
    }
  }
  std::string error;
  auto at = parseHostPort(opts.value("--listen").value_or(kDefaultListen), kLoopback, error);
  if (!at) {
    std::fprintf(stderr, "lumora-hotsync serve: --listen: %s\n", error.c_str());
    return 2;
  }
  auto listener = TcpListener::open(*at, error);
  if (!listener) {
    std::fprintf(stderr, "lumora-hotsync serve: cannot listen on %s: %s\n",
                 opts.value("--listen").value_or(kDefaultListen).c_str(), error.c_str());
    return 1;
  }
  catchStopSignals();
  std::printf("listening on %s\n", listener->address().c_str());
  std::fflush(stdout);

  const bool once = opts.has("--once");
  while (!stopRequested) {
    TcpListener::Accepted next = listener->accept(kAcceptSliceMs);
    if (next.status == TcpListener::Status::Timeout ||
        next.status == TcpListener::Status::Interrupted)
      continue;
    if (next.status == TcpListener::Status::Failed) {
      std::fprintf(stderr, "lumora-hotsync serve: accept failed: %s\n", next.error.c_str());
      continue;
    }
    bool wasHotSync = false;
    bool ran = serveConnection(*next.stream, options, wasHotSync);
    if (once && wasHotSync) return ran ? 0 : 1;
  }
  std::printf("stopped\n");
  return once ? 1 : 0;
}

}  // namespace lumora::host
