// lumora-hotsync serve: waits for network, serial and USB HotSyncs of real handhelds,
// emulators and lumora-handheld, one at a time.
#include <algorithm>
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
#include <vector>

#include "common/command_options.h"
#include "common/monotonic_clock.h"
#include "host/hotsync/commands.h"
#include "host/hotsync/serve.h"
#include "hotsync/link/cmp.h"
#include "hotsync/link/framing.h"
#include "hotsync/link/netsync_link.h"
#include "hotsync/link/prefixed_stream.h"
#include "hotsync/link/serial_link.h"
#include "hotsync/session/hotsync_run.h"
#include "hotsync/session/link_session.h"
#include "hotsync/transport/serial_port.h"
#include "hotsync/transport/tcp_stream.h"
#include "hotsync/transport/transport.h"
#include "hotsync/transport/usb_arrivals.h"
#include "platform/process/test_hooks.h"

namespace lumora::host {
namespace {

constexpr const char* kUsage =
    "usage: lumora-hotsync serve [--listen ADDR:PORT]... [--serial DEVICE]...\n"
    "                            [--serial-listen [ADDR:PORT]] [--usb [VID:PID]]\n"
    "                            [--baud N] [--once] [--user NAME] [--sync-type N] [--quiet]\n"
    "                            [--accept-new-users]\n"
    "\n"
    "Waits for HotSyncs on every transport given at once (network, serial lines, serial over\n"
    "TCP, USB) and runs each like 'sync': the handheld's user (or NAME), its queued files\n"
    "installed, the conduit registered for creator LmDx with the user's next action (or sync\n"
    "type N), then the HotSync summary and last sync date written to the handheld. One\n"
    "HotSync at a time: a handheld that starts meanwhile is answered once it ends. Every\n"
    "HotSync log entry is printed as '[ACTIVITY] TEXT' and kept in the user's log. The first\n"
    "lines of output are one per transport: 'listening on ADDR:PORT' (on an address other\n"
    "than 127.0.0.1 followed by who may HotSync there), 'waiting on DEVICE' or 'waiting for\n"
    "a USB handheld'.\n"
    "Without a transport option: network HotSyncs on 127.0.0.1:14238.\n"
    "\n"
    "  --listen ADDR:PORT  network HotSyncs (NetSync) here (127.0.0.1:14238 is this machine\n"
    "                      only; 0.0.0.0:14238 lets a handheld on the local network in; port\n"
    "                      0 picks a free port); may be given several times\n"
    "  --serial DEVICE     HotSyncs on a serial line: a cradle's port (/dev/ttyS0), a USB\n"
    "                      handheld's tty (/dev/ttyUSB1, /dev/ttyACM0) or a pseudo-terminal;\n"
    "                      may be given several times. The handheld's first bytes tell how\n"
    "                      it speaks: the serial stack (a cradle, a Visor) starts at 9600\n"
    "                      baud and moves to the speed agreed with the handheld; NetSync\n"
    "                      framing (most USB handhelds) runs as over the network. Bytes that\n"
    "                      start neither are dropped with a line. A device that does not\n"
    "                      exist yet is waited for\n"
    "  --baud N            the fastest speed to agree on (9600 to 230400, default 115200)\n"
    "  --serial-listen [ADDR:PORT]\n"
    "                      serial HotSyncs carried over TCP, as an emulator sends its\n"
    "                      redirected serial port (default 127.0.0.1:6416)\n"
    "  --usb [VID:PID]     USB HotSyncs through libusb (Linux): waits for a known USB\n"
    "                      handheld, or for the device VID:PID (hex, as lsusb shows it) even\n"
    "                      if it is not a known one (its first bytes tell its framing); a\n"
    "                      device that cannot be opened gets a line naming the udev rules\n"
    "                      file to install (see README, USB HotSync)\n"
    "  --once              end after the first HotSync\n"
    "  --quiet             no status while a HotSync runs (see 'sync --help'), no totals\n"
    "  --accept-new-users  a handheld this desktop does not know may become a user over a\n"
    "                      listener on an address other than 127.0.0.1 (over USB, serial\n"
    "                      lines and 127.0.0.1 it always may); without it such a handheld\n"
    "                      is refused unless its name waits in 'users pair'. A handheld\n"
    "                      that says a user's name with another user ID is always refused\n"
    "                      (see 'lumora-hotsync users --help')\n"
    "\n"
    "A connection that does not begin with the NetSync handshake (serial: the handheld's\n"
    "wakeup; USB: the table's framing), or stalls for 30 s, is closed with a line, and the server "
    "goes on. Ctrl-C or\n"
    "SIGTERM ends the server; a HotSync in progress is broken off and put back as after a\n"
    "dropped link.\n"
    "\n"
    "Environment: LUMORA_LINK_TIMEOUT_MS (milliseconds, default 30000) replaces the 30 s\n"
    "for the NetSync handshake and for every answer of the handheld.\n"
    "Exit status: 0 (with --once: the HotSync ran), 1 the HotSync could not run or an\n"
    "address or device cannot be used, 2 usage error.\n";

constexpr const char* kDefaultListen = "127.0.0.1:14238";
constexpr const char* kDefaultSerialListen = "127.0.0.1:6416";
// What a bare --usb stands for: every known device.
constexpr const char* kAnyKnownUsb = "known";
constexpr uint32_t kDefaultMaxBaud = 115200;
constexpr int kAcceptSliceMs = 500;
constexpr int kReopenMs = 1000;
constexpr const char* kTimeoutVariable = hooks::kLinkTimeoutMs;

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

// The wait for the handheld, from the environment; tests shorten it. nullopt when the
// value is not a number of milliseconds from 1 to one hour.
std::optional<int> linkTimeoutMs() {
  const std::string text = hooks::linkTimeoutMs();
  if (text.empty()) return link::kDlpTimeoutMs;
  int value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value < 1 || value > 3600 * 1000)
    return std::nullopt;
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
    std::printf("%s\n",
                closingLine("HotSync of " + result.user + " complete", result.user).c_str());
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

HotSyncOutcome outcomeOf(SerialOutcome got) {
  return got == SerialOutcome::Ran      ? HotSyncOutcome::Ran
         : got == SerialOutcome::Failed ? HotSyncOutcome::Failed
                                        : HotSyncOutcome::None;
}

// True for an address of this machine only ("127.0.0.1:14238", "[::1]:14238").
bool isLoopbackAddress(const std::string& address) {
  std::string error;
  auto parsed = parseHostPort(address, "", error);
  if (!parsed) return false;
  const std::string& host = parsed->host;
  return host.rfind("127.", 0) == 0 || host == "::1" || host == "[::1]" || host == "localhost";
}

// A listening socket: NetSync HotSyncs, or (serial) the serial stack of an emulator whose
// serial port is redirected to a TCP connection. Connections wait in the listen backlog
// while another HotSync runs.
class NetworkTransport final : public Transport {
 public:
  NetworkTransport(std::unique_ptr<TcpListener> listener, bool serial, uint32_t maxBaud)
      : listener_(std::move(listener)),
        serial_(serial),
        maxBaud_(maxBaud),
        local_(isLoopbackAddress(listener_->address())) {}

  std::string announcement() const override {
    std::string line = "listening on " + listener_->address();
    // Anyone who reaches this address may try; say so where the owner looks.
    if (!local_)
      line += " (open to the network: " +
              std::string(acceptsNewUsers_ ? "any handheld may become a user here"
                                           : "only handhelds of known users HotSync here") +
              ")";
    return line;
  }
  int waitFd() const override { return listener_->fd(); }
  void acceptNewUsers(bool yes) { acceptsNewUsers_ = yes; }

  HotSyncOutcome step(const LinkSessionOptions& shared) override {
    LinkSessionOptions options = shared;
    options.peerIsLocal = local_;
    TcpListener::Accepted next = listener_->accept(0);
    if (next.status == TcpListener::Status::Failed) {
      std::fprintf(stderr, "lumora-hotsync serve: accept failed: %s\n", next.error.c_str());
      return HotSyncOutcome::None;
    }
    if (next.status != TcpListener::Status::Accepted) return HotSyncOutcome::None;
    next.stream->stopWhen(&stopRequested);
    if (serial_) {
      // No line speed over TCP: the agreed one is only announced.
      return outcomeOf(serveSerial(*next.stream, nullptr, next.stream->peer(), maxBaud_,
                                   link::kDlpTimeoutMs, options));
    }
    bool wasHotSync = false;
    bool ran = serveConnection(*next.stream, options, wasHotSync);
    if (!wasHotSync) return HotSyncOutcome::None;
    return ran ? HotSyncOutcome::Ran : HotSyncOutcome::Failed;
  }

 private:
  std::unique_ptr<TcpListener> listener_;
  bool serial_;
  uint32_t maxBaud_;
  bool local_;
  bool acceptsNewUsers_ = false;
};

// A serial line: each HotSync in the framing its first bytes show (a cradle and a Visor
// SLP, a USB handheld on its tty NetSync). Bytes that start neither are dropped with a
// line once a frame has not started timeoutMs after them or too many came. A line that
// goes away (a USB handheld's device disappears after its HotSync) is opened again when it
// returns.
class SerialLineTransport final : public Transport {
 public:
  // Opens the device when it exists; null with error set when it cannot be opened.
  static std::unique_ptr<SerialLineTransport> open(const std::string& device, uint32_t maxBaud,
                                                   int timeoutMs, std::string& error) {
    std::unique_ptr<SerialLineTransport> line(new SerialLineTransport(device, maxBaud, timeoutMs));
    // A USB handheld's device appears only once HotSync is pressed: wait for it.
    std::error_code missing;
    if (std::filesystem::exists(device, missing)) {
      line->port_ = SerialPort::open(device, link::kCmpStartBaud, error);
      if (!line->port_) return nullptr;
    }
    return line;
  }

  std::string announcement() const override {
    return "waiting on " + device_ + (port_ ? "" : " (it does not exist yet)");
  }
  int waitFd() const override { return port_ ? port_->fd() : -1; }
  int pollIntervalMs() const override {
    if (!port_) return kReopenMs;
    if (firstAt_ < 0) return -1;
    return static_cast<int>(std::max<int64_t>(0, firstAt_ + timeoutMs_ - steadyMs()));
  }

  HotSyncOutcome step(const LinkSessionOptions& options) override {
    if (!port_) {
      std::string error;
      port_ = SerialPort::open(device_, link::kCmpStartBaud, error);
      return HotSyncOutcome::None;
    }
    uint8_t buffer[512];
    link::StreamRead got = port_->read(buffer, sizeof buffer, 0);
    if (got.status == link::StreamStatus::Closed || got.status == link::StreamStatus::Failed) {
      if (stopRequested) return HotSyncOutcome::None;
      if (firstAt_ >= 0) noiseLine(", then the line closed");
      lineGone();
      return HotSyncOutcome::None;
    }
    if (got.status == link::StreamStatus::Ok) {
      if (firstAt_ < 0) firstAt_ = steadyMs();
      recogniser_.feed(ByteView(buffer, got.count));
    }
    const link::Framing framing = recogniser_.framing();
    if (framing == link::Framing::Slp || framing == link::Framing::NetSync)
      return run(framing, options);
    if (framing == link::Framing::Neither) {
      noiseLine("");
      restart();
    } else if (firstAt_ >= 0 && steadyMs() - firstAt_ >= timeoutMs_) {
      noiseLine(", and no HotSync within " + std::to_string(timeoutMs_ / 1000) + " s");
      restart();
    }
    return HotSyncOutcome::None;
  }

 private:
  SerialLineTransport(std::string device, uint32_t maxBaud, int timeoutMs)
      : device_(std::move(device)), maxBaud_(maxBaud), timeoutMs_(timeoutMs) {}

  HotSyncOutcome run(link::Framing framing, const LinkSessionOptions& options) {
    link::PrefixedStream stream(*port_, recogniser_.takeSeen());
    SerialOutcome got = framing == link::Framing::Slp ? serveSerial(stream, port_.get(), device_,
                                                                    maxBaud_, timeoutMs_, options)
                                                      : serveNetSyncLine(stream, device_, options);
    if (got == SerialOutcome::LineClosed) {
      lineGone();
    } else {
      restart();
    }
    return outcomeOf(got);
  }

  void noiseLine(const std::string& then) {
    std::printf(
        "closed the connection from %s: %zu bytes that start neither a serial nor a "
        "NetSync HotSync%s\n",
        device_.c_str(), recogniser_.skipped() + recogniser_.seen().size(), then.c_str());
    std::fflush(stdout);
  }
  // Ready for the next HotSync: nothing of the last one kept.
  void restart() {
    if (port_) port_->discardInput();
    recogniser_ = link::FramingRecogniser();
    firstAt_ = -1;
  }
  void lineGone() {
    port_.reset();
    restart();
  }

  std::string device_;
  uint32_t maxBaud_;
  int timeoutMs_;
  std::unique_ptr<SerialPort> port_;
  link::FramingRecogniser recogniser_;
  int64_t firstAt_ = -1;  // when the first byte of a possible HotSync came
};

// Rewrites a bare "--serial-listen" or "--usb" (last, or followed by another option) to
// carry its default, so that the option parser sees a value.
std::vector<char*> withSerialListenDefault(int argc, char** argv) {
  static std::string fallback = kDefaultSerialListen;
  static std::string anyUsb = kAnyKnownUsb;
  std::vector<char*> out(argv, argv + argc);
  for (size_t i = 0; i < out.size(); ++i) {
    const std::string option = out[i];
    if (option != "--serial-listen" && option != "--usb") continue;
    if (i + 1 == out.size() || out[i + 1][0] == '-')
      out.insert(out.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                 option == "--usb" ? anyUsb.data() : fallback.data());
  }
  return out;
}

// The framing a device missing from the table speaks, from its first bytes (which go back
// to the stream for the link); nullopt, with a line, when none starts within timeoutMs.
std::optional<link::UsbFraming> recogniseUsbFraming(UsbBulkStream& stream, const std::string& peer,
                                                    int timeoutMs) {
  link::FramingRecogniser recogniser;
  const int64_t since = steadyMs();
  uint8_t buffer[512];
  while (!stopRequested && !recogniser.decided() && steadyMs() - since < timeoutMs) {
    int left = static_cast<int>(timeoutMs - (steadyMs() - since));
    link::StreamRead got = stream.read(buffer, sizeof buffer, std::min(left, kAcceptSliceMs));
    if (got.status == link::StreamStatus::Ok) recogniser.feed(ByteView(buffer, got.count));
    if (got.status == link::StreamStatus::Closed || got.status == link::StreamStatus::Failed) break;
  }
  if (recogniser.framing() == link::Framing::Slp ||
      recogniser.framing() == link::Framing::NetSync) {
    stream.unread(recogniser.seen());
    return recogniser.framing() == link::Framing::Slp ? link::UsbFraming::Slp
                                                      : link::UsbFraming::NetSync;
  }
  if (!stopRequested) {
    std::printf(
        "closed the connection from %s: %zu bytes that start neither a serial nor a "
        "NetSync HotSync within %d s\n",
        peer.c_str(), recogniser.skipped() + recogniser.seen().size(), timeoutMs / 1000);
    std::fflush(stdout);
  }
  return std::nullopt;
}

// One USB handheld, opened: the framing its table entry names (a device given by id only:
// the one its first bytes show), over its bulk endpoints. True when it was a HotSync (ran
// or failed), false when the device never started one.
bool serveUsbDevice(UsbArrival& device, const LinkSessionOptions& options, bool& ran) {
  ran = false;
  std::optional<link::UsbFraming> framing;
  if (device.known)
    framing = device.known->framing;
  else
    framing = recogniseUsbFraming(*device.stream, device.label, options.timeoutMs);
  if (!framing) return false;
  if (*framing == link::UsbFraming::Slp) {
    SerialOutcome got = serveSerial(*device.stream, nullptr, device.label, kDefaultMaxBaud,
                                    options.timeoutMs, options);
    ran = got == SerialOutcome::Ran;
    return got == SerialOutcome::Ran || got == SerialOutcome::Failed;
  }
  link::NetSyncLink wire(*device.stream, link::LinkRole::Desktop, steadyMs);
  if (auto hello = link::desktopHandshake(wire, options.timeoutMs); !hello) {
    std::printf("closed the connection from %s: %s\n", device.label.c_str(), hello.error.c_str());
    std::fflush(stdout);
    return false;
  }
  ran = runReportedSession(wire, options, device.label).ran;
  return true;
}

// USB handhelds on a bus: the bus is looked at every so often; a device that comes runs its
// HotSync in the framing its table entry names, over its bulk endpoints.
class UsbHandheldTransport final : public Transport {
 public:
  UsbHandheldTransport(UsbBus& bus, std::optional<link::UsbId> only)
      : bus_(bus), only_(only), usb_(bus, only) {}

  std::string announcement() const override {
    return "waiting for a USB handheld" + (only_ ? " " + link::formatUsbId(*only_) : "");
  }
  int waitFd() const override { return -1; }
  int pollIntervalMs() const override { return bus_.lookIntervalMs(); }

  HotSyncOutcome step(const LinkSessionOptions& options) override {
    UsbArrival device = usb_.next();
    switch (device.kind) {
      case UsbArrival::Kind::None:
        return HotSyncOutcome::None;
      case UsbArrival::Kind::BusFailed:
        std::fprintf(stderr, "lumora-hotsync serve: %s\n", device.line.c_str());
        return HotSyncOutcome::Retired;
      case UsbArrival::Kind::Refused:
        std::printf("%s\n", device.line.c_str());
        std::fflush(stdout);
        return HotSyncOutcome::None;
      case UsbArrival::Kind::HotSync:
        break;
    }
    device.stream->stopWhen(&stopRequested);
    bool ran = false;
    if (!serveUsbDevice(device, options, ran)) return HotSyncOutcome::None;
    return ran ? HotSyncOutcome::Ran : HotSyncOutcome::Failed;
  }

 private:
  UsbBus& bus_;
  std::optional<link::UsbId> only_;
  UsbArrivals usb_;
};

}  // namespace

std::unique_ptr<Transport> makeUsbTransport(UsbBus& bus, std::optional<link::UsbId> only) {
  return std::make_unique<UsbHandheldTransport>(bus, only);
}

int serveOn(std::vector<std::unique_ptr<Transport>> transports, const LinkSessionOptions& options,
            bool once) {
  catchStopSignals();
  for (const auto& transport : transports) std::printf("%s\n", transport->announcement().c_str());
  std::fflush(stdout);
  return serveTransports(std::move(transports), options, once, &stopRequested);
}

int runServe(int argc, char** argv) {
  return runServeWith(argc, argv, nullptr);
}

int runServeWith(int argc, char** argv, UsbBus* bus) {
  std::vector<char*> args = withSerialListenDefault(argc, argv);
  ParsedOptions opts = parseOptions(
      static_cast<int>(args.size()), args.data(),
      {"--listen", "--user", "--sync-type", "--serial", "--serial-listen", "--baud", "--usb"},
      {"--once", "--quiet", "--accept-new-users"});
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
  options.quiet = opts.has("--quiet");
  options.acceptNewUsers = opts.has("--accept-new-users");
  uint32_t maxBaud = kDefaultMaxBaud;
  if (auto text = opts.value("--baud")) {
    auto baud = parseSerialSpeed(*text);
    if (!baud) {
      std::fprintf(stderr,
                   "lumora-hotsync serve: --baud takes 9600, 19200, 38400, 57600, 115200 or "
                   "230400, not '%s'\n",
                   text->c_str());
      return 2;
    }
    maxBaud = *baud;
  }
  // --usb: every known handheld, or the one device asked for.
  bool usbWanted = false;
  std::optional<link::UsbId> usbOnly;
  if (auto it = opts.values.find("--usb"); it != opts.values.end()) {
    if (it->second.size() > 1) {
      std::fprintf(stderr, "lumora-hotsync serve: give --usb once\n");
      return 2;
    }
    usbWanted = true;
    if (const std::string& text = it->second.front(); text != kAnyKnownUsb) {
      usbOnly = link::parseUsbId(text);
      if (!usbOnly) {
        std::fprintf(stderr,
                     "lumora-hotsync serve: --usb takes a device as VID:PID in hex (0830:0060), "
                     "not '%s'\n",
                     text.c_str());
        return 2;
      }
    }
  }
  // Every transport asked for, in this order; the network one alone when none is.
  struct Wanted {
    const char* option;
    std::string value;
  };
  std::vector<Wanted> wanted;
  for (const char* option : {"--listen", "--serial-listen", "--serial"}) {
    auto it = opts.values.find(option);
    if (it == opts.values.end()) continue;
    for (const std::string& value : it->second) {
      if (value.empty() && std::string(option) == "--serial") {
        std::fprintf(stderr, "lumora-hotsync serve: --serial needs a device\n");
        return 2;
      }
      wanted.push_back({option, value});
    }
  }
  if (wanted.empty() && !usbWanted) wanted.push_back({"--listen", kDefaultListen});

  // Addresses are checked before anything is opened, so that a usage error opens nothing.
  std::vector<std::optional<HostPort>> addresses;
  for (const Wanted& w : wanted) {
    addresses.emplace_back();
    if (std::string(w.option) == "--serial") continue;
    std::string error;
    addresses.back() = parseHostPort(w.value, kLoopback, error);
    if (!addresses.back()) {
      std::fprintf(stderr, "lumora-hotsync serve: %s: %s\n", w.option, error.c_str());
      return 2;
    }
  }
  // Outlives the transports, which look at it.
  std::unique_ptr<UsbBus> usbBus;
  std::vector<std::unique_ptr<Transport>> transports;
  for (size_t i = 0; i < wanted.size(); ++i) {
    std::string error;
    if (std::string(wanted[i].option) == "--serial") {
      auto line = SerialLineTransport::open(wanted[i].value, maxBaud, options.timeoutMs, error);
      if (!line) {
        std::fprintf(stderr, "lumora-hotsync serve: %s\n", error.c_str());
        return 1;
      }
      transports.push_back(std::move(line));
      continue;
    }
    auto listener = TcpListener::open(*addresses[i], error);
    if (!listener) {
      // The error names the address.
      std::fprintf(stderr, "lumora-hotsync serve: %s\n", error.c_str());
      return 1;
    }
    const bool serial = std::string(wanted[i].option) == "--serial-listen";
    auto network = std::make_unique<NetworkTransport>(std::move(listener), serial, maxBaud);
    network->acceptNewUsers(options.acceptNewUsers);
    transports.push_back(std::move(network));
  }
  if (usbWanted && !bus) {
    std::string error;
    usbBus = openLibusb(error);
    if (!usbBus) {
      std::fprintf(stderr, "lumora-hotsync serve: %s\n", error.c_str());
      return 1;
    }
    bus = usbBus.get();
  }
  if (usbWanted) transports.push_back(makeUsbTransport(*bus, usbOnly));
  return serveOn(std::move(transports), options, once);
}

}  // namespace lumora::host
