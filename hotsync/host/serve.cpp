// lumora-hotsync serve: waits for network and serial HotSyncs of real handhelds, emulators
// and lumora-handheld, one at a time.
#include <charconv>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "hotsync/host/commands.h"
#include "hotsync/host/hotsync_run.h"
#include "hotsync/host/link_session.h"
#include "hotsync/host/options.h"
#include "hotsync/host/serial_port.h"
#include "hotsync/host/tcp_stream.h"
#include "hotsync/link/cmp.h"
#include "hotsync/link/framing.h"
#include "hotsync/link/netsync_link.h"
#include "hotsync/link/prefixed_stream.h"
#include "hotsync/link/serial_link.h"

namespace lumora::host {
namespace {

constexpr const char* kUsage =
    "usage: lumora-hotsync serve [--listen ADDR:PORT] [--once] [--user NAME] [--sync-type N]\n"
    "       lumora-hotsync serve --serial DEVICE [--baud N] [--once] [--user NAME] ...\n"
    "       lumora-hotsync serve --serial-listen [ADDR:PORT] [--once] [--user NAME] ...\n"
    "\n"
    "Waits for network HotSyncs (NetSync), or serial ones, and runs each like 'sync': the\n"
    "handheld's user (or NAME), its queued files installed, the conduit registered for\n"
    "creator LmDx with the user's next action (or sync type N), then the HotSync summary and\n"
    "last sync date written to the handheld. One HotSync at a time; every HotSync log entry\n"
    "is printed as '[ACTIVITY] TEXT' and kept in the user's log. The first line of output is\n"
    "'listening on ADDR:PORT'.\n"
    "\n"
    "  --listen ADDR:PORT  where to listen (default 127.0.0.1:14238, this machine only;\n"
    "                      0.0.0.0:14238 lets a handheld on the local network in; port 0\n"
    "                      picks a free port)\n"
    "  --serial DEVICE     HotSyncs on a serial line instead: a cradle's port (/dev/ttyS0),\n"
    "                      a USB handheld's tty (/dev/ttyUSB1, /dev/ttyACM0) or a\n"
    "                      pseudo-terminal. The handheld's first bytes tell how it speaks:\n"
    "                      the serial stack (a cradle, a Visor) starts at 9600 baud and\n"
    "                      moves to the speed agreed with the handheld; NetSync framing\n"
    "                      (most USB handhelds) runs as over the network. Bytes that start\n"
    "                      neither are dropped with a line. The first line of output is\n"
    "                      'waiting on DEVICE'\n"
    "  --baud N            the fastest speed to agree on (9600 to 230400, default 115200)\n"
    "  --serial-listen [ADDR:PORT]\n"
    "                      serial HotSyncs carried over TCP, as an emulator sends its\n"
    "                      redirected serial port (default 127.0.0.1:6416)\n"
    "  --once              end after the first HotSync\n"
    "\n"
    "A connection that does not begin with the NetSync handshake (serial: the handheld's\n"
    "wakeup), or stalls for 30 s, is closed with a line, and the server goes on. Ctrl-C ends\n"
    "the server.\n"
    "\n"
    "Environment: LUMORA_LINK_TIMEOUT_MS (milliseconds, default 30000) replaces the 30 s\n"
    "for the NetSync handshake and for every answer of the handheld.\n"
    "Exit status: 0 (with --once: the HotSync ran), 1 the HotSync could not run or the\n"
    "address cannot be used, 2 usage error.\n";

constexpr const char* kDefaultListen = "127.0.0.1:14238";
constexpr const char* kDefaultSerialListen = "127.0.0.1:6416";
constexpr uint32_t kDefaultMaxBaud = 115200;
constexpr int kAcceptSliceMs = 500;
constexpr int kReopenMs = 1000;
constexpr const char* kTimeoutVariable = "LUMORA_LINK_TIMEOUT_MS";

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

// The wait for the handheld, from the environment; tests shorten it. nullopt when the
// value is not a number of milliseconds from 1 to one hour.
std::optional<int> linkTimeoutMs() {
  const char* text = std::getenv(kTimeoutVariable);
  if (!text || !*text) return link::kDlpTimeoutMs;
  int value = 0;
  auto [end, ec] = std::from_chars(text, text + std::strlen(text), value);
  if (ec != std::errc() || *end != '\0' || value < 1 || value > 3600 * 1000) return std::nullopt;
  return value;
}

// One connection: the handshake, then the HotSync. True when the HotSync ran.
// The HotSync once the link is up, framed by the lines that say whose it was and how it
// ended.
LinkSessionResult runReportedSession(link::MessageLink& wire, const LinkSessionOptions& options,
                                     const std::string& peer) {
  std::printf("HotSync from %s\n", peer.c_str());
  std::fflush(stdout);
  LinkSessionResult result = runLinkSession(wire, options);
  if (result.ran)
    std::printf("HotSync of %s complete\n", result.user.c_str());
  else
    std::printf("HotSync from %s failed: %s\n", peer.c_str(), result.error.c_str());
  std::fflush(stdout);
  return result;
}

bool serveConnection(TcpStream& stream, const LinkSessionOptions& options, bool& wasHotSync) {
  const std::string peer = stream.peer();
  link::NetSyncLink wire(stream, link::LinkRole::Desktop, steadyMs);
  wasHotSync = false;
  if (auto hello = link::desktopHandshake(wire, options.timeoutMs); !hello) {
    std::printf("closed the connection from %s: %s\n", peer.c_str(), hello.error.c_str());
    std::fflush(stdout);
    return false;
  }
  wasHotSync = true;
  LinkSessionResult result = runReportedSession(wire, options, peer);
  return result.ran;
}

enum class SerialOutcome { Idle, LineClosed, Refused, Failed, Ran };

// One serial HotSync: CMP, the agreed speed, the session. port is set for a real line,
// whose speed then changes. The wakeup is awaited in slices, so that Ctrl-C is noticed, for
// waitMs at most (negative: until it comes); a part of a frame stays between slices.
SerialOutcome serveSerial(link::ByteStream& stream, SerialPort* port, const std::string& peer,
                          uint32_t maxBaud, int waitMs, const LinkSessionOptions& options) {
  link::SerialLink wire(stream, link::LinkRole::Desktop, steadyMs);
  const int64_t since = steadyMs();
  link::CmpOutcome cmp;
  do {
    cmp = link::desktopCmp(wire, maxBaud, link::kCmpStartBaud, kAcceptSliceMs);
  } while (cmp.status == link::StreamStatus::Timeout && !stopRequested &&
           (waitMs < 0 || steadyMs() - since < waitMs));
  if (!cmp) {
    const bool closed = cmp.status == link::StreamStatus::Closed;
    if (stopRequested) return SerialOutcome::Idle;
    if (cmp.status == link::StreamStatus::Timeout) {
      std::printf("closed the connection from %s: no serial HotSync wakeup within %d s\n",
                  peer.c_str(), waitMs / 1000);
      std::fflush(stdout);
      return SerialOutcome::Idle;
    }
    // A line that closes without a byte is no HotSync; anything else gets a line.
    if (closed && wire.stats().bytesRead == 0) return SerialOutcome::LineClosed;
    std::printf("closed the connection from %s: %s\n", peer.c_str(), cmp.error.c_str());
    std::fflush(stdout);
    return closed ? SerialOutcome::LineClosed : SerialOutcome::Refused;
  }
  std::string speedError;
  if (port && cmp.baud && !port->setSpeed(cmp.baud, speedError)) {
    std::printf("HotSync from %s failed: %s\n", peer.c_str(), speedError.c_str());
    std::fflush(stdout);
    return SerialOutcome::Failed;
  }
  LinkSessionResult result = runReportedSession(wire, options, peer);
  // The next HotSync starts at 9600 baud again, without the tail of this one.
  if (port) {
    if (cmp.baud) port->setSpeed(link::kCmpStartBaud, speedError);
    port->discardInput();
  }
  return result.ran ? SerialOutcome::Ran : SerialOutcome::Failed;
}

std::optional<uint32_t> parseSpeed(const std::string& text) {
  uint32_t value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size() ||
      !isSerialSpeed(value))
    return std::nullopt;
  return value;
}

void sleepUnlessStopped(int ms) {
  for (int waited = 0; waited < ms && !stopRequested; waited += 100)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
}

// NetSync framing on a line, as a USB handheld speaks it on its tty: the handshake and the
// HotSync as over TCP.
SerialOutcome serveNetSyncLine(link::ByteStream& stream, const std::string& peer,
                               const LinkSessionOptions& options) {
  link::NetSyncLink wire(stream, link::LinkRole::Desktop, steadyMs);
  if (auto hello = link::desktopHandshake(wire, options.timeoutMs); !hello) {
    std::printf("closed the connection from %s: %s\n", peer.c_str(), hello.error.c_str());
    std::fflush(stdout);
    return hello.status == link::StreamStatus::Closed ? SerialOutcome::LineClosed
                                                      : SerialOutcome::Refused;
  }
  LinkSessionResult result = runReportedSession(wire, options, peer);
  return result.ran ? SerialOutcome::Ran : SerialOutcome::Failed;
}

// The first bytes of a HotSync on a line, until they tell its framing. An idle line is
// waited on without end; once bytes came, a frame must start within timeoutMs. Idle:
// stopped, or the bytes were noise (a line says so).
struct LineStart {
  link::Framing framing = link::Framing::NeedMore;
  SerialOutcome outcome = SerialOutcome::Idle;
  Bytes seen;  // from the start of the frame
};

LineStart awaitFraming(link::ByteStream& port, const std::string& peer, int timeoutMs) {
  link::FramingRecogniser recogniser;
  int64_t firstAt = -1;
  uint8_t buffer[512];
  bool any = false;
  LineStart out;
  while (!stopRequested) {
    link::StreamRead got = port.read(buffer, sizeof buffer, kAcceptSliceMs);
    if (got.status == link::StreamStatus::Closed || got.status == link::StreamStatus::Failed) {
      if (stopRequested) break;
      if (any) {
        std::printf(
            "closed the connection from %s: the line closed after %zu bytes that "
            "start no HotSync\n",
            peer.c_str(), recogniser.skipped() + recogniser.seen().size());
        std::fflush(stdout);
      }
      out.outcome = SerialOutcome::LineClosed;
      return out;
    }
    if (got.status == link::StreamStatus::Ok) {
      any = true;
      if (firstAt < 0) firstAt = steadyMs();
      recogniser.feed(ByteView(buffer, got.count));
    }
    if (recogniser.framing() == link::Framing::Slp ||
        recogniser.framing() == link::Framing::NetSync) {
      out.framing = recogniser.framing();
      out.seen = recogniser.takeSeen();
      return out;
    }
    const bool tooLong = firstAt >= 0 && steadyMs() - firstAt >= timeoutMs;
    if (recogniser.framing() == link::Framing::Neither || tooLong) {
      std::printf(
          "closed the connection from %s: %zu bytes that start neither a serial nor "
          "a NetSync HotSync%s\n",
          peer.c_str(), recogniser.skipped() + recogniser.seen().size(),
          tooLong ? (" within " + std::to_string(timeoutMs / 1000) + " s").c_str() : "");
      std::fflush(stdout);
      return out;
    }
  }
  return out;
}

// One HotSync on a line, in the framing its first bytes show.
SerialOutcome serveLine(SerialPort& port, const std::string& device, uint32_t maxBaud,
                        const LinkSessionOptions& options) {
  LineStart start = awaitFraming(port, device, options.timeoutMs);
  if (start.framing == link::Framing::NeedMore) {
    if (start.outcome == SerialOutcome::Idle) port.discardInput();
    return start.outcome;
  }
  link::PrefixedStream stream(port, std::move(start.seen));
  if (start.framing == link::Framing::Slp)
    return serveSerial(stream, &port, device, maxBaud, -1, options);
  SerialOutcome got = serveNetSyncLine(stream, device, options);
  port.discardInput();
  return got;
}

// serve --serial DEVICE: HotSyncs on the line, one after the other, each in the framing
// the handheld speaks (a cradle SLP, a USB handheld on its tty NetSync). A line that goes
// away (a USB handheld's device disappears after its HotSync) is opened again when it
// returns.
int serveSerialLine(const std::string& device, uint32_t maxBaud, bool once,
                    const LinkSessionOptions& options) {
  std::string error;
  std::unique_ptr<SerialPort> port;
  // A USB handheld's device appears only once HotSync is pressed: wait for it.
  std::error_code missing;
  if (std::filesystem::exists(device, missing)) {
    port = SerialPort::open(device, link::kCmpStartBaud, error);
    if (!port) {
      std::fprintf(stderr, "lumora-hotsync serve: %s\n", error.c_str());
      return 1;
    }
  }
  catchStopSignals();
  std::printf("waiting on %s%s\n", device.c_str(), port ? "" : " (it does not exist yet)");
  std::fflush(stdout);
  while (!stopRequested) {
    if (!port) {
      sleepUnlessStopped(kReopenMs);
      port = SerialPort::open(device, link::kCmpStartBaud, error);
      continue;
    }
    SerialOutcome got = serveLine(*port, device, maxBaud, options);
    if (once && (got == SerialOutcome::Ran || got == SerialOutcome::Failed))
      return got == SerialOutcome::Ran ? 0 : 1;
    // The line went away; try it again in a moment.
    if (got == SerialOutcome::LineClosed) port.reset();
  }
  std::printf("stopped\n");
  return once ? 1 : 0;
}

// Rewrites a bare "--serial-listen" (last, or followed by another option) to carry the
// default address, so that the option parser sees a value.
std::vector<char*> withSerialListenDefault(int argc, char** argv) {
  static std::string fallback = kDefaultSerialListen;
  std::vector<char*> out(argv, argv + argc);
  for (size_t i = 0; i < out.size(); ++i) {
    if (std::string(out[i]) != "--serial-listen") continue;
    if (i + 1 == out.size() || out[i + 1][0] == '-')
      out.insert(out.begin() + static_cast<std::ptrdiff_t>(i) + 1, fallback.data());
  }
  return out;
}

}  // namespace

int runServe(int argc, char** argv) {
  std::vector<char*> args = withSerialListenDefault(argc, argv);
  ParsedOptions opts = parseOptions(
      static_cast<int>(args.size()), args.data(),
      {"--listen", "--user", "--sync-type", "--serial", "--serial-listen", "--baud"}, {"--once"});
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
  if (auto timeout = linkTimeoutMs()) {
    options.timeoutMs = *timeout;
  } else {
    std::fprintf(stderr, "lumora-hotsync serve: %s must be a number of milliseconds from 1 to %d\n",
                 kTimeoutVariable, 3600 * 1000);
    return 2;
  }
  const bool once = opts.has("--once");
  const bool serialLine = opts.value("--serial").has_value();
  const bool serialNet = opts.value("--serial-listen").has_value();
  if (int(serialLine) + int(serialNet) + int(opts.value("--listen").has_value()) > 1) {
    std::fprintf(stderr,
                 "lumora-hotsync serve: give one of --listen, --serial and --serial-listen\n");
    return 2;
  }
  uint32_t maxBaud = kDefaultMaxBaud;
  if (auto text = opts.value("--baud")) {
    auto baud = parseSpeed(*text);
    if (!baud) {
      std::fprintf(stderr,
                   "lumora-hotsync serve: --baud takes 9600, 19200, 38400, 57600, 115200 or "
                   "230400, not '%s'\n",
                   text->c_str());
      return 2;
    }
    maxBaud = *baud;
  }
  if (serialLine) {
    if (opts.value("--serial")->empty()) {
      std::fprintf(stderr, "lumora-hotsync serve: --serial needs a device\n");
      return 2;
    }
    return serveSerialLine(*opts.value("--serial"), maxBaud, once, options);
  }
  const std::string listenText =
      serialNet ? *opts.value("--serial-listen") : opts.value("--listen").value_or(kDefaultListen);
  std::string error;
  auto at = parseHostPort(listenText, kLoopback, error);
  if (!at) {
    std::fprintf(stderr, "lumora-hotsync serve: %s: %s\n",
                 serialNet ? "--serial-listen" : "--listen", error.c_str());
    return 2;
  }
  auto listener = TcpListener::open(*at, error);
  if (!listener) {
    std::fprintf(stderr, "lumora-hotsync serve: cannot listen on %s: %s\n", listenText.c_str(),
                 error.c_str());
    return 1;
  }
  catchStopSignals();
  std::printf("listening on %s\n", listener->address().c_str());
  std::fflush(stdout);

  while (!stopRequested) {
    TcpListener::Accepted next = listener->accept(kAcceptSliceMs);
    if (next.status == TcpListener::Status::Timeout ||
        next.status == TcpListener::Status::Interrupted)
      continue;
    if (next.status == TcpListener::Status::Failed) {
      std::fprintf(stderr, "lumora-hotsync serve: accept failed: %s\n", next.error.c_str());
      continue;
    }
    next.stream->stopWhen(&stopRequested);
    if (serialNet) {
      // No line speed over TCP: the agreed one is only announced.
      SerialOutcome got = serveSerial(*next.stream, nullptr, next.stream->peer(), maxBaud,
                                      link::kDlpTimeoutMs, options);
      if (once && (got == SerialOutcome::Ran || got == SerialOutcome::Failed))
        return got == SerialOutcome::Ran ? 0 : 1;
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
