// lumora-hotsync users: the HotSync users of this desktop and the handheld paired to each.
#include <cstdio>
#include <string>

#include "common/command_options.h"
#include "host/hotsync/commands.h"
#include "hotsync/session/user_list.h"

namespace lumora::host {
namespace {

constexpr const char* kUsage =
    "usage: lumora-hotsync users [list]\n"
    "       lumora-hotsync users add NAME\n"
    "       lumora-hotsync users remove NAME\n"
    "       lumora-hotsync users pair NAME\n"
    "\n"
    "The HotSync users of this desktop, each with the user ID of its handheld and its last\n"
    "HotSync (HotSync/Users.txt in the Windows folder), and this desktop's ID, which every\n"
    "HotSync leaves on the handheld.\n"
    "  list         prints this desktop's ID, then one line per user\n"
    "  add NAME     adds a user with no handheld yet\n"
    "  remove NAME  removes the user from the list; its files (log, install queue) stay\n"
    "  pair NAME    the next handheld that says NAME becomes NAME's, whatever its user ID\n"
    "               and however it connects (adds NAME when missing)\n"
    "\n"
    "A HotSync is matched before any conduit runs: a handheld with the user ID of a user is\n"
    "that user. A handheld without a user ID (new or reset) gets a new one and becomes the\n"
    "user of its name over USB, a serial line or a listener on 127.0.0.1; over a listener on\n"
    "another address only when serve runs with --accept-new-users or the name waits in\n"
    "'users pair'. A handheld that says a user's name with another user ID is refused\n"
    "until 'users pair NAME'; nothing of it is read or written.\n"
    "Exit status: 0 done, 1 the list cannot be read or written or has no such user, 2 usage\n"
    "error.\n";

int fail(const std::string& why) {
  std::fprintf(stderr, "lumora-hotsync users: %s\n", why.c_str());
  return 1;
}

int list(const UserList& users) {
  std::string error;
  auto id = desktopId(error);
  if (!id) return fail(error);
  std::printf("this desktop: ID %u\n", static_cast<unsigned>(*id));
  for (const KnownUser& u : users.users()) {
    const std::string handheld = u.pairing       ? "waiting for 'users pair'"
                                 : u.userId != 0 ? "user ID " + std::to_string(u.userId)
                                                 : "no handheld yet";
    std::printf("%s: %s, last HotSync %s\n", u.name.c_str(), handheld.c_str(),
                u.lastSync.empty() ? "never" : (u.lastSync + " UTC").c_str());
  }
  return 0;
}

}  // namespace

int runUsers(int argc, char** argv) {
  ParsedOptions opts = parseOptions(argc, argv, {}, {}, 2);
  if (opts.help) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  const std::vector<std::string>& args = opts.positional;
  const std::string action = args.empty() ? "list" : args[0];
  const bool named = action == "add" || action == "remove" || action == "pair";
  std::string usage = opts.error;
  if (usage.empty() && !named && action != "list") usage = "unknown action '" + action + "'";
  if (usage.empty() && named != (args.size() == 2)) usage = "give one NAME with " + action;
  if (usage.empty() && action == "list" && args.size() > 1) usage = "list takes no NAME";
  const std::string name = named && args.size() == 2 ? args[1] : std::string();
  // A handheld keeps at most 40 bytes of name.
  if (usage.empty() && named && (name.empty() || name.size() > 40))
    usage = "a user name has 1 to 40 bytes, not '" + name + "'";
  if (!usage.empty()) {
    std::fprintf(stderr, "lumora-hotsync users: %s\n\n%s", usage.c_str(), kUsage);
    return 2;
  }

  std::string error;
  auto users = UserList::load(error);
  if (!users) return fail(error);
  if (action == "list") return list(*users);
  if (action == "add") {
    if (users->byName(name)) return fail("there is a user " + name + " already");
    users->named(name);
  } else if (action == "remove") {
    if (!users->remove(name)) return fail("no user " + name);
  } else {
    users->named(name).pairing = true;
  }
  if (!users->save(error)) return fail(error);
  if (action == "pair")
    std::printf("the next handheld that says %s HotSyncs as %s\n", name.c_str(), name.c_str());
  return 0;
}

}  // namespace lumora::host
