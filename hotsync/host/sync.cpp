// lumora-hotsync sync: one HotSync of the registered conduit against a simulated handheld.
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "hotsync/host/commands.h"
#include "hotsync/host/conduit_api.h"
#include "hotsync/host/options.h"
#include "hotsync/api/hotsync_host.h"
#include "platform/profile/profile.h"

namespace lumora::host {
namespace {

constexpr const char* kUsage =
    "usage: lumora-hotsync sync --handheld DIR --user NAME [--sync-type N]\n"
    "\n"
    "Connects the simulated handheld in DIR for HotSync user NAME, installs the files queued\n"
    "for that user, runs the conduit registered for creator LmDx with sync type N (0:\n"
    "synchronise; 2 handheld overwrites desktop; 3 desktop overwrites handheld; 6 do nothing),\n"
    "unloads it and disconnects. Every HotSync log entry is printed as '[ACTIVITY] TEXT'.\n"
    "Without --sync-type the user's next action is used (set with 'configure', kept in\n"
    "HotSync/<user>/Actions.ini; 0 when none), and afterwards the next action returns to the\n"
    "user's default action.\n"
    "Exit status: 0 when the HotSync ran (problems are in the log), 1 when it could not\n"
    "start, 2 for a usage error or a missing handheld directory.\n";

void printLogEntry(const char* text, int32_t activity, void*) {
  std::printf("[%d] %s\n", static_cast<int>(activity), text);
  std::fflush(stdout);
}

void printReject(const char* fileName, const char* reason, void*) {
  std::fprintf(stderr, "lumora-hotsync: not installed, left in the queue: %s: %s\n", fileName,
               reason);
}

bool isDirectory(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool parseSyncType(const std::string& text, uint32_t& out) {
  if (text.empty() || text.size() > 10) return false;
  uint64_t v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + static_cast<uint64_t>(c - '0');
  }
  if (v > 0xFFFFFFFFull) return false;
  out = static_cast<uint32_t>(v);
  return true;
}

constexpr const char* kActionsSection = "LmDx";

std::string actionsFile(const std::string& user) {
  char folder[1024] = {};
  if (HsUserFolder(user.c_str(), folder, sizeof folder) != 0) return {};
  return std::string(folder) + "/Actions.ini";
}

// Disconnects on every way out of the command.
struct Connection {
  ~Connection() { HsDisconnect(); }
};

}  // namespace

int runSync(int argc, char** argv) {
  ParsedOptions opts = parseOptions(argc, argv, {"--handheld", "--user", "--sync-type"}, {});
  if (opts.help) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (!opts.error.empty()) {
    std::fprintf(stderr, "lumora-hotsync sync: %s\n\n%s", opts.error.c_str(), kUsage);
    return 2;
  }
  auto handheld = opts.value("--handheld");
  auto user = opts.value("--user");
  if (!handheld || !user || user->empty()) {
    std::fprintf(stderr, "lumora-hotsync sync: --handheld and --user are required\n\n%s", kUsage);
    return 2;
  }
  uint32_t syncType = 0;
  auto typeOption = opts.value("--sync-type");
  if (typeOption && !parseSyncType(*typeOption, syncType)) {
    std::fprintf(stderr, "lumora-hotsync sync: --sync-type takes a number, not '%s'\n",
                 typeOption->c_str());
    return 2;
  }
  const std::string actions = actionsFile(*user);
  if (!typeOption && !actions.empty())
    syncType = profile::getInt(kActionsSection, "NextAction", 0, actions);
  if (!isDirectory(*handheld)) {
    std::fprintf(stderr, "lumora-hotsync sync: handheld directory not found: %s\n",
                 handheld->c_str());
    return 2;
  }

  HsSetLogObserver(printLogEntry, nullptr);
  if (int32_t r = HsConnect(handheld->c_str(), user->c_str()); r != 0) {
    std::fprintf(stderr, "lumora-hotsync sync: cannot connect the handheld in %s (code %d)\n",
                 handheld->c_str(), static_cast<int>(r));
    return 1;
  }
  Connection connection;

  int32_t installed = HsInstallQueued(user->c_str(), printReject, nullptr);
  if (installed > 0) std::printf("installed %d queued file(s)\n", static_cast<int>(installed));

  std::string error;
  auto conduit = loadRegisteredConduit(kAlbumCreator, error);
  if (!conduit) {
    std::fprintf(stderr, "lumora-hotsync sync: %s\n", error.c_str());
    return 1;
  }
  auto* openConduit = conduit->symbol<OpenConduitFn>("OpenConduit");
  auto* getName = conduit->symbol<GetConduitNameFn>("GetConduitName");
  auto* getVersion = conduit->symbol<GetConduitVersionFn>("GetConduitVersion");
  auto* getInfo = conduit->symbol<GetConduitInfoFn>("GetConduitInfo");
  if (!openConduit || !getName || !getVersion || !getInfo) {
    std::fprintf(stderr, "lumora-hotsync sync: the conduit lacks its entry points\n");
    return 1;
  }

  char name[64] = {};
  if (getName(name, sizeof name) != 0) std::strcpy(name, "(no name)");
  uint32_t version = static_cast<uint32_t>(getVersion());
  uint32_t mfc = 0;
  uint32_t size = sizeof mfc;
  getInfo(1, nullptr, &mfc, &size);
  std::printf("conduit: %s, version %u.%02u, sync type %u\n", name, version >> 8, version & 0xFF,
              syncType);

  // Sync properties: the conduit reads the sync type in the first four bytes.
  uint8_t properties[64] = {};
  std::memcpy(properties, &syncType, sizeof syncType);
  openConduit(nullptr, properties);

  // Unload while the handheld is still connected: the conduit writes back at unload.
  conduit->unload();
  if (!typeOption && !actions.empty()) {
    // A "next" action holds for one HotSync; then the default applies again.
    unsigned int def = profile::getInt(kActionsSection, "DefaultAction", 0, actions);
    profile::writeString(kActionsSection, "NextAction", std::to_string(def), actions);
  }
  std::printf("HotSync complete\n");
  return 0;
}

}  // namespace lumora::host
