// lumora-hotsync sync: one HotSync of the registered conduit against a simulated handheld.
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/command_options.h"
#include "host/hotsync/commands.h"
#include "hotsync/api/hotsync_host.h"
#include "hotsync/session/hotsync_run.h"
#include "hotsync/session/sync_status.h"
#include "hotsync/session/user_list.h"
#include "hotsync/store/handheld_state.h"
#include "platform/files/atomic_files.h"

namespace lumora::host {
namespace {

constexpr const char* kUsage =
    "usage: lumora-hotsync sync --handheld DIR [--user NAME] [--sync-type N] [--quiet]\n"
    "\n"
    "Connects the simulated handheld in DIR for its user (kept in DIR/.handheld.ini) or\n"
    "HotSync user NAME, matched to this desktop's users as a USB handheld is (see\n"
    "'lumora-hotsync users --help'), installs the files queued for that user, runs the\n"
    "conduit registered for creator LmDx with sync type N (0:\n"
    "synchronise; 2 handheld overwrites desktop; 3 desktop overwrites handheld; 6 do nothing),\n"
    "unloads it and disconnects, leaving this desktop's ID (and a new user ID when the\n"
    "handheld had none) in DIR/.handheld.ini when DIR has that file. Every HotSync log\n"
    "entry is printed as '[ACTIVITY] TEXT'.\n"
    "Without --sync-type the user's next action is used (set with 'configure', kept in\n"
    "HotSync/<user>/Actions.ini; 0 when none), and afterwards the next action returns to the\n"
    "user's default action.\n"
    "While it runs a status shows the databases read and written, the bytes moved, the\n"
    "rate, the time and the database being moved: one line that rewrites itself on a\n"
    "terminal, else a line every 5 s; at the end a line 'HotSync totals: ...'. --quiet\n"
    "leaves only the log entries. The closing line 'HotSync complete' says how many problem\n"
    "lines the conduit logged and where the log is, when it logged any.\n"
    "Exit status: 0 when the HotSync ran (problems are in the log), 1 when it could not\n"
    "start or this desktop refused the handheld, 2 for a usage error or a missing handheld\n"
    "directory.\n";

bool isDirectory(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Disconnects on every way out of the command.
struct Connection {
  ~Connection() { HsDisconnect(); }
};

}  // namespace

int runSync(int argc, char** argv) {
  ParsedOptions opts =
      parseOptions(argc, argv, {"--handheld", "--user", "--sync-type"}, {"--quiet"});
  if (opts.help) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (!opts.error.empty()) {
    std::fprintf(stderr, "lumora-hotsync sync: %s\n\n%s", opts.error.c_str(), kUsage);
    return 2;
  }
  auto handheld = opts.value("--handheld");
  if (!handheld) {
    std::fprintf(stderr, "lumora-hotsync sync: --handheld is required\n\n%s", kUsage);
    return 2;
  }
  const std::string statePath = files::join(*handheld, kHandheldStateFile);
  link::HandheldUser state = loadHandheldState(statePath);
  auto user = opts.value("--user");
  if (!user) user = state.name;
  if (user->empty()) {
    std::fprintf(stderr,
                 "lumora-hotsync sync: the handheld in %s has no user name: name the HotSync "
                 "user with --user\n\n%s",
                 handheld->c_str(), kUsage);
    return 2;
  }
  std::optional<uint32_t> givenType;
  if (auto typeOption = opts.value("--sync-type")) {
    givenType = parseSyncType(*typeOption);
    if (!givenType) {
      std::fprintf(stderr, "lumora-hotsync sync: --sync-type takes a number, not '%s'\n",
                   typeOption->c_str());
      return 2;
    }
  }
  if (!isDirectory(*handheld)) {
    std::fprintf(stderr, "lumora-hotsync sync: handheld directory not found: %s\n",
                 handheld->c_str());
    return 2;
  }
  // The simulated handheld is attached to this machine: a local transport.
  std::string listError;
  auto thisDesktop = desktopId(listError);
  auto users = thisDesktop ? UserList::load(listError) : std::nullopt;
  if (!users) {
    std::fprintf(stderr, "lumora-hotsync sync: %s\n", listError.c_str());
    return 1;
  }
  const Match match = matchHandheld(*users, state.userId, *user, MatchRules{}, randomUserId);
  if (match.verdict == Match::Verdict::Refused) {
    std::printf("%s\n", match.refusal.c_str());
    return 1;
  }
  user = match.user;
  const uint32_t syncType = chooseSyncType(*user, givenType);

  HsSetLogObserver(printLogEntry, nullptr);
  if (int32_t r = HsConnect(handheld->c_str(), user->c_str()); r != 0) {
    std::fprintf(stderr, "lumora-hotsync sync: cannot connect the handheld in %s (code %d)\n",
                 handheld->c_str(), static_cast<int>(r));
    return 1;
  }
  Connection connection;
  StatusDisplay status(opts.has("--quiet"));

  int32_t installed = HsInstallQueued(user->c_str(), printReject, nullptr);
  if (installed > 0) std::printf("installed %d queued file(s)\n", static_cast<int>(installed));

  std::string error;
  if (!runRegisteredConduit(syncType, error)) {
    std::fprintf(stderr, "lumora-hotsync sync: %s\n", error.c_str());
    return 1;
  }
  status.finish();
  finishNextAction(*user, givenType);
  // A folder without the file keeps no user: it stays a handheld without an ID, met anew
  // each time, and its databases are all it holds.
  if (files::exists(statePath)) {
    if (match.newUserId) state.userId = match.newUserId;
    state.lastSyncPc = *thisDesktop;
    if (!saveHandheldState(statePath, state))
      std::fprintf(stderr, "lumora-hotsync sync: could not write %s\n", statePath.c_str());
  }
  if (!rememberHotSync(match, listError))
    std::fprintf(stderr, "lumora-hotsync sync: %s\n", listError.c_str());
  std::printf("%s\n", closingLine("HotSync complete", *user).c_str());
  return 0;
}

}  // namespace lumora::host
