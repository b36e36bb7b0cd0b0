// lumora-hotsync replay: checks recorded HotSync sessions against the link code.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "common/command_options.h"
#include "host/hotsync/commands.h"
#include "hotsync/link/replay.h"

namespace lumora::host {

namespace {

constexpr const char* kReplayUsage =
    "usage: lumora-hotsync replay FILE.json...\n"
    "\n"
    "Reads recorded HotSync sessions (JSON lists of {\"type\": \"read\"|\"write\", \"data\": HEX}\n"
    "events, as the desktop saw them), reassembles the packets of both directions and checks\n"
    "that each one decodes and encodes again to the same bytes: the NetSync handshake, the\n"
    "DLP packets, and the fields of the DLP functions this program uses. Prints one line per\n"
    "packet (direction, transaction id, function, fields) and then 'N/M packets round-trip'.\n"
    "Whether a recording is NetSync or serial (SLP) is decided from the handheld's first\n"
    "bytes; line noise before them is dropped.\n"
    "Exit status: 0 every packet of every file round-trips, 1 some do not, 2 usage error or\n"
    "a file that cannot be read.";

}  // namespace

int runReplay(int argc, char** argv) {
  ParsedOptions opts = parseOptions(argc, argv, {}, {}, static_cast<size_t>(argc));
  if (opts.help) {
    std::puts(kReplayUsage);
    return 0;
  }
  if (!opts.error.empty() || opts.positional.empty()) {
    std::fprintf(stderr, "lumora-hotsync replay: %s\n",
                 opts.error.empty() ? "name at least one recording" : opts.error.c_str());
    return 2;
  }
  bool unreadable = false, failed = false;
  const bool several = opts.positional.size() > 1;
  for (const std::string& file : opts.positional) {
    std::error_code ec;
    std::ifstream in;
    if (std::filesystem::is_regular_file(file, ec)) in.open(file, std::ios::binary);
    std::stringstream text;
    if (in.is_open()) text << in.rdbuf();
    if (!in.is_open() || in.bad()) {
      std::fprintf(stderr, "lumora-hotsync replay: cannot read %s\n", file.c_str());
      unreadable = true;
      continue;
    }
    if (several) std::printf("== %s\n", file.c_str());
    link::ReplayReport report = link::replaySession(text.str());
    for (const std::string& line : report.lines) std::printf("%s\n", line.c_str());
    if (!report.failure.empty()) {
      std::fprintf(stderr, "lumora-hotsync replay: %s: %s\n", file.c_str(), report.failure.c_str());
    }
    if (report.packets > 0 || report.failure.empty()) {
      std::printf("%s\n", report.summary().c_str());
    }
    std::fflush(stdout);
    if (!report.ok()) failed = true;
  }
  return unreadable ? 2 : failed ? 1 : 0;
}

}  // namespace lumora::host
