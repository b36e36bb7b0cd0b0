// lumora-hotsync serve: waits for network, serial and USB HotSyncs of real handhelds,
// emulators and lumora-handheld, one at a time.
#include <charconv>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/command_options.h"
#include "host/hotsync/commands.h"
#include "host/hotsync/serve.h"
#include "host/hotsync/stop_signals.h"
#include "hotsync/link/cmp.h"
#include "hotsync/session/hotsync_run.h"
#include "hotsync/session/link_session.h"
#include "hotsync/transport/network_transport.h"
#include "hotsync/transport/serial_line_transport.h"
#include "hotsync/transport/serial_port.h"
#include "hotsync/transport/tcp_stream.h"
#include "hotsync/transport/transport.h"
#include "hotsync/transport/usb_transport.h"
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
constexpr const char* kTimeoutVariable = hooks::kLinkTimeoutMs;

volatile std::sig_atomic_t stopRequested = 0;

extern "C" void onStopSignal(int) {
  stopRequested = 1;
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

}  // namespace

std::unique_ptr<Transport> makeUsbTransport(UsbBus& bus, std::optional<link::UsbId> only) {
  return std::make_unique<UsbTransport>(bus, only, &stopRequested);
}

int serveOn(std::vector<std::unique_ptr<Transport>> transports, const LinkSessionOptions& options,
            bool once) {
  catchStopSignals(onStopSignal);
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
      auto line = SerialLineTransport::open(wanted[i].value, maxBaud, options.timeoutMs,
                                            &stopRequested, error);
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
    auto network =
        std::make_unique<NetworkTransport>(std::move(listener), serial, maxBaud, &stopRequested);
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
