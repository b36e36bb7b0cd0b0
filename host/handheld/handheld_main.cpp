// lumora-handheld: the simulated handheld (a folder of .pdb files) as a network or serial
// HotSync peer, for users without a device, the demo and the tests.
#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <thread>

#include "common/command_options.h"
#include "common/monotonic_clock.h"
#include "hotsync/link/cmp.h"
#include "hotsync/link/dlp_functions.h"
#include "hotsync/link/dlp_server.h"
#include "hotsync/link/netsync_link.h"
#include "hotsync/link/serial_link.h"
#include "hotsync/session/handheld_session.h"
#include "hotsync/store/environment_clock.h"
#include "hotsync/store/handheld_state.h"
#include "hotsync/store/handheld_store.h"
#include "hotsync/transport/serial_port.h"
#include "hotsync/transport/tcp_stream.h"
#include "platform/files/atomic_files.h"
#include "platform/process/test_hooks.h"

namespace {

using namespace lumora;

constexpr const char* kUsage =
    "usage: lumora-handheld connect HOST:PORT --folder DIR [--user NAME]\n"
    "       lumora-handheld connect --serial DEVICE [--baud N] [--framing slp|netsync]\n"
    "                               --folder DIR [--user NAME]\n"
    "       lumora-handheld connect --serial-net HOST:PORT --folder DIR [--user NAME]\n"
    "\n"
    "The simulated handheld on the wire: connects to a HotSync server (lumora-hotsync serve)\n"
    "as a handheld set to network HotSync does (with --serial, as a handheld in a cradle on\n"
    "the serial line DEVICE; with --serial-net, as an emulator whose serial port is\n"
    "redirected to HOST:PORT), answers the desktop's requests from DIR (a folder of .pdb\n"
    "files, one per database) and prints the HotSync log the desktop sends.\n"
    "Changed databases are written when the desktop ends the HotSync; when the session\n"
    "breaks off they keep their previous state.\n"
    "\n"
    "  --folder DIR   the handheld's databases\n"
    "  --user NAME    the handheld's user name; else the one kept in DIR/.handheld.ini\n"
    "                 from earlier HotSyncs, or none\n"
    "  --baud N       the fastest serial speed to offer (9600 to 230400, default 115200)\n"
    "  --framing F    what to speak on the serial line: slp (the serial stack of a cradle,\n"
    "                 the default) or netsync (NetSync framing, as a USB handheld does on\n"
    "                 its tty)\n"
    "\n"
    "Over the serial stack a line before the HotSync log tells what went over the line:\n"
    "'serial line: N bytes sent, N received, N fragments resent, N damaged frames dropped'.\n"
    "\n"
    "Environment: LUMORA_HANDHELD_TIME (seconds since 1970) fixes the dates written into\n"
    "databases; LUMORA_DLP_COUNT=1 prints the number of requests of each DLP function of a\n"
    "network HotSync at the end (on standard error); LUMORA_HANDHELD_PAUSE=N:MS makes the\n"
    "handheld wait MS milliseconds after answering N requests; LUMORA_HANDHELD_HANG_UP=1\n"
    "makes it leave without answering the desktop's EndOfSync.\n"
    "Exit status: 0 the desktop ended the HotSync, 1 the session broke off or the databases\n"
    "could not be written, 2 usage error (also a missing folder).\n";

constexpr int kConnectTimeoutMs = 10000;

int usageError(const std::string& why) {
  std::fprintf(stderr, "lumora-handheld: %s\n(see lumora-handheld --help)\n", why.c_str());
  return 2;
}

void printSyncLog(const std::string& text) {
  if (text.empty()) return;
  std::fputs(text.c_str(), stdout);
  if (text.back() != '\n') std::fputc('\n', stdout);
  std::fflush(stdout);
}

// Requests by DLP function, for measuring how many round trips a HotSync takes.
class RequestCount {
 public:
  void add(ByteView request) {
    if (!request.empty()) ++byFunction_[request[0]];
  }
  void print() const {
    int total = 0;
    std::string parts;
    for (const auto& [function, n] : byFunction_) {
      total += n;
      const char* name = link::dlp::functionName(function);
      parts += (parts.empty() ? "" : ", ") +
               (name ? std::string(name) : "function " + std::to_string(function)) + " " +
               std::to_string(n);
    }
    std::fprintf(stderr, "lumora-handheld: %d DLP requests: %s\n", total, parts.c_str());
  }

 private:
  std::map<uint8_t, int> byFunction_;
};

bool countRequested() {
  const std::string value = hooks::dlpCount();
  return !value.empty() && value != "0";
}

// LUMORA_HANDHELD_PAUSE=N:MS: after answering N requests the handheld says nothing for MS
// milliseconds, as a user may hold a session still; tests use it to act during a HotSync.
struct Pause {
  int after = -1;
  int ms = 0;
};

Pause pauseFromEnvironment() {
  const std::string value = hooks::handheldPause();
  Pause pause;
  if (value.empty()) return pause;
  const char* text = value.c_str();
  const char* end = text + value.size();
  int after = 0, ms = 0;
  auto first = std::from_chars(text, end, after);
  if (first.ec != std::errc() || first.ptr == end || *first.ptr != ':') return pause;
  auto second = std::from_chars(first.ptr + 1, end, ms);
  if (second.ec != std::errc() || second.ptr != end || after < 0 || ms < 0) return pause;
  return {after, std::min(ms, 600 * 1000)};
}

// LUMORA_HANDHELD_HANG_UP=1: the handheld leaves without answering EndOfSync, as a USB
// handheld going off the bus at the end of its HotSync may.
bool hangUpAtEnd() {
  return hooks::handheldHangUp() == "1";
}

// The behaviour the test variables ask for; count: where requests are counted, if anywhere.
host::HandheldSessionHooks sessionHooks(RequestCount* count) {
  host::HandheldSessionHooks hooks;
  const Pause pause = pauseFromEnvironment();
  hooks.pauseAfter = pause.after;
  hooks.pauseMs = pause.ms;
  hooks.hangUpAtEnd = hangUpAtEnd();
  if (count)
    hooks.onRequest = [count](ByteView request, int) {
      count->add(request);
      return true;
    };
  return hooks;
}

// The serial stack, with the line that tells what went over it.
std::string serialSession(link::ByteStream& stream, host::SerialPort* port, uint32_t maxBaud,
                          link::DlpServer& server) {
  std::optional<host::SerialPortSpeed> speed;
  if (port) speed.emplace(*port);
  host::HandheldSerialEnd end = host::handheldSerialSession(stream, speed ? &*speed : nullptr,
                                                            maxBaud, server, sessionHooks(nullptr));
  const link::SerialLinkStats& stats = end.stats;
  std::printf(
      "serial line: %llu bytes sent, %llu received, %llu fragments resent, %llu damaged frames "
      "dropped\n",
      static_cast<unsigned long long>(stats.bytesWritten),
      static_cast<unsigned long long>(stats.bytesRead),
      static_cast<unsigned long long>(stats.framesResent),
      static_cast<unsigned long long>(stats.framesDropped));
  std::fflush(stdout);
  return end.broke;
}

std::string netSyncSession(link::ByteStream& stream, link::DlpServer& server, RequestCount* count) {
  return host::handheldNetSyncSession(stream, server, sessionHooks(count));
}

int runConnect(int argc, char** argv) {
  host::ParsedOptions opts = host::parseOptions(
      argc, argv, {"--folder", "--user", "--serial", "--serial-net", "--baud", "--framing"}, {}, 1);
  if (opts.help) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (!opts.error.empty()) return usageError(opts.error);
  const auto serialDevice = opts.value("--serial");
  const auto serialNet = opts.value("--serial-net");
  size_t targets = opts.positional.size() + (serialDevice ? 1 : 0) + (serialNet ? 1 : 0);
  if (targets == 0)
    return usageError("connect needs the desktop's HOST:PORT, --serial or --serial-net");
  if (targets > 1) return usageError("connect takes one of HOST:PORT, --serial and --serial-net");
  auto folder = opts.value("--folder");
  if (!folder) return usageError("connect needs --folder DIR");
  uint32_t maxBaud = 115200;
  if (auto text = opts.value("--baud")) {
    auto baud = host::parseSerialSpeed(*text);
    if (!baud)
      return usageError("--baud takes 9600, 19200, 38400, 57600, 115200 or 230400, not '" + *text +
                        "'");
    maxBaud = *baud;
  }
  bool netSyncOnLine = false;
  if (auto framing = opts.value("--framing")) {
    if (!serialDevice) return usageError("--framing goes with --serial DEVICE");
    if (*framing != "slp" && *framing != "netsync")
      return usageError("--framing takes slp or netsync, not '" + *framing + "'");
    netSyncOnLine = *framing == "netsync";
  }
  std::string error;
  std::optional<host::HostPort> to;
  if (!serialDevice) {
    to = host::parseHostPort(serialNet ? *serialNet : opts.positional[0], host::kLoopback, error);
    if (!to) return usageError(error);
  }
  if (!files::isFolder(*folder))
    return usageError("the handheld folder \"" + *folder + "\" does not exist");

  std::string statePath = files::join(*folder, host::kHandheldStateFile);
  link::HandheldUser user = host::loadHandheldState(statePath);
  if (auto name = opts.value("--user")) {
    if (name->size() > 40 || name->find_first_of("\r\n") != std::string::npos)
      return usageError("the user name \"" + *name +
                        "\" is longer than 40 bytes or has a line break");
    user.name = *name;
  }

  auto storeLog = [](const std::string& line) {
    std::fprintf(stderr, "lumora-handheld: %s\n", line.c_str());
  };
  // Declared before the connection so that it outlives it; dropped unwritten on failure.
  hotsync::HandheldStore store(*folder, storeLog, hotsync::clockFromEnvironment(storeLog));
  link::DlpServer server(store, user);

  std::string broke;
  RequestCount count;
  if (serialDevice) {
    auto port = host::SerialPort::open(*serialDevice, link::kCmpStartBaud, error);
    if (!port) {
      std::fprintf(stderr, "lumora-handheld: %s\n", error.c_str());
      return 1;
    }
    // A fresh HotSync starts with the handheld speaking first; whatever waits on the line
    // is left from an earlier one (a desktop still resending to a handheld that died).
    port->discardInput();
    broke = netSyncOnLine ? netSyncSession(*port, server, countRequested() ? &count : nullptr)
                          : serialSession(*port, port.get(), maxBaud, server);
  } else {
    host::Connection connection = host::connectTcp(*to, kConnectTimeoutMs);
    if (!connection.stream) {
      std::fprintf(stderr, "lumora-handheld: %s\n", connection.error.c_str());
      return 1;
    }
    if (serialNet) {
      broke = serialSession(*connection.stream, nullptr, maxBaud, server);
    } else {
      broke = netSyncSession(*connection.stream, server, countRequested() ? &count : nullptr);
    }
  }
  printSyncLog(server.syncLog());
  if (countRequested() && (netSyncOnLine || (!serialDevice && !serialNet))) count.print();
  if (!server.ended()) {
    std::fprintf(stderr,
                 "lumora-handheld: the HotSync broke off (%s); the databases keep their state "
                 "from before it.\n",
                 broke.c_str());
    return 1;
  }
  // The store has said which database could not be written.
  int status = server.wroteAll() ? 0 : 1;
  if (!host::saveHandheldState(statePath, server.user())) {
    std::fprintf(stderr, "lumora-handheld: could not write \"%s\".\n", statePath.c_str());
    status = 1;
  }
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  const lumora::host::Command commands[] = {{"connect", runConnect}};
  return lumora::host::runCommand("lumora-handheld", kUsage, commands, argc, argv);
}
