// lumora-hotsync configure: the conduit's configuration dialog for one HotSync user, on
// the display or, without one (or with --set), headless with the changes played as the
// user's clicks, so that the same dialog procedure makes the same stores.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/bytes.h"
#include "common/command_options.h"
#include "conduit/config_dialog.h"
#include "conduit/dialog/config_record.h"
#include "conduit/settings.h"
#include "host/hotsync/commands.h"
#include "hotsync/api/hotsync_host.h"
#include "hotsync/session/conduit_api.h"
#include "platform/files/files.h"
#include "platform/profile/profile.h"
#include "platform/ui/headless_toolkit.h"

namespace lumora::host {
namespace {

namespace record = conduit::record;

constexpr const char* kUsage =
    "usage: lumora-hotsync configure --user NAME [--set KEY=VALUE ...] [--headless]\n"
    "\n"
    "Opens the conduit's \"Change HotSync Action\" dialog for HotSync user NAME, then keeps\n"
    "the action chosen there as the user's default and/or next HotSync action and prints\n"
    "the outcome. The sync folder and the bitmap options are stored by the conduit itself\n"
    "(Lumdex.ini in the Windows folder).\n"
    "\n"
    "Without a display, with --headless or with --set, no window opens: each --set is\n"
    "played in the dialog as the matching click or typing, then OK (or Cancel when only\n"
    "bitmap options changed, which take effect at once):\n"
    "  folder=PATH       the sync folder, which must exist (also SyncDir=PATH)\n"
    "  depth=16|8        download 16-bit bitmaps, or 8-bit (AcceptedDepth)\n"
    "  density=144|72    download double density bitmaps, or single (AcceptedDensity)\n"
    "  compression=1|0   download compressed bitmaps, or not (AcceptedCompression)\n"
    "  photos=1|0        .jpg, .jpeg, .png, .heic and .heif files go to the handheld too\n"
    "                    (Photos)\n"
    "  fit=1|0           scale pictures too large for the handheld down (FitToDevice)\n"
    "  dither=1|0        dither 8-bit pictures onto the handheld palette (Dither)\n"
    "  next=ACTION       the next HotSync's action\n"
    "  default=ACTION    the action of every HotSync from now on (the next one too)\n"
    "ACTION is sync (0), desktop (3: desktop overwrites handheld), handheld (2: handheld\n"
    "overwrites desktop) or nothing (6).\n"
    "photos, fit and dither are no dialog controls: they are written to Lumdex.ini directly\n"
    "and are off unless set to 1.\n"
    "\n"
    "The user's actions are kept in HotSync/<user>/Actions.ini in the Windows folder\n"
    "(section [LmDx], DefaultAction and NextAction; 0 when absent).\n"
    "Exit status: 0 done (also when the dialog was cancelled), 1 a change was refused or\n"
    "the conduit could not run, 2 usage error.\n";

constexpr const char* kActionsSection = "LmDx";
constexpr const char* kDefaultKey = "DefaultAction";
constexpr const char* kNextKey = "NextAction";

struct Action {
  const char* name;
  uint32_t type;
  const char* text;
};
constexpr Action kActions[] = {
    {"sync", 0, "synchronize the files"},
    {"desktop", 3, "desktop overwrites handheld"},
    {"handheld", 2, "handheld overwrites desktop"},
    {"nothing", 6, "do nothing"},
};

std::optional<Action> parseAction(const std::string& text) {
  for (const Action& a : kActions)
    if (text == a.name || text == std::to_string(a.type)) return a;
  return std::nullopt;
}

// What the conduit shows for a stored sync type (1 counts as sync, 4, 5 and above 6 as
// nothing).
std::string describe(uint32_t type) {
  if (type == 1) type = 0;
  for (const Action& a : kActions)
    if (a.type == type) return std::to_string(type) + " (" + a.text + ")";
  return std::to_string(type) + " (do nothing)";
}

// The requested changes, as the dialog script that makes them.
struct Request {
  std::vector<std::string> script;
  std::optional<std::string> folder;
  std::optional<Action> next, def;
  std::vector<std::pair<const char*, std::string>> direct;  // keys written without the dialog
  bool needsOk() const { return folder || next || def; }
};

std::optional<std::string> addSetting(Request& r, const std::string& assignment) {
  auto eq = assignment.find('=');
  if (eq == std::string::npos || eq == 0) return "--set takes KEY=VALUE, not '" + assignment + "'";
  std::string key = assignment.substr(0, eq);
  std::string value = assignment.substr(eq + 1);
  if (value.find_first_of("\r\n") != std::string::npos) return "a value cannot span lines";
  using conduit::dialog_script::BitmapOption;
  auto check = [&](BitmapOption option, const char* on,
                   const char* off) -> std::optional<std::string> {
    if (value != on && value != off) return key + " takes " + on + " or " + off;
    r.script.push_back(conduit::dialog_script::setBitmapOption(option, value == on));
    return std::nullopt;
  };
  if (key == "folder" || key == conduit::kKeySyncDir) {
    if (value.empty()) return "folder needs a path";
    if (value.size() >= kPathCapacity) return "the folder path is longer than 259 characters";
    r.folder = value;
    return std::nullopt;
  }
  if (key == "depth" || key == conduit::kKeyDepth) return check(BitmapOption::depth16, "16", "8");
  if (key == "density" || key == conduit::kKeyDensity)
    return check(BitmapOption::doubleDensity, "144", "72");
  if (key == "compression" || key == conduit::kKeyCompression)
    return check(BitmapOption::compressed, "1", "0");
  const struct {
    const char* name;
    const char* key;
  } kDirect[] = {{"photos", conduit::kKeyPhotos},
                 {"fit", conduit::kKeyFitToDevice},
                 {"dither", conduit::kKeyDither}};
  for (const auto& d : kDirect) {
    if (key != d.name && key != d.key) continue;
    if (value != "1" && value != "0") return key + " takes 1 or 0";
    r.direct.emplace_back(d.key, value);
    return std::nullopt;
  }
  if (key == "next" || key == "default") {
    auto action = parseAction(value);
    if (!action) return key + " takes sync, desktop, handheld or nothing, not '" + value + "'";
    (key == "next" ? r.next : r.def) = action;
    return std::nullopt;
  }
  return "unknown setting '" + key + "'";
}

// The dialog's own test of a sync folder: "<path>\*.*" finds an entry.
bool folderExists(const std::string& path) {
  return path.size() >= 3 && path.size() < kPathCapacity &&
         !files::fileSystem().find(path + "\\*.*").empty();
}

std::string setting(const char* key, const char* fallback) {
  char value[kPathCapacity];
  profile::getString(conduit::kIniSection, key, fallback, value, sizeof value, conduit::kIniFile);
  return value;
}

void printSettings(uint32_t def, uint32_t next) {
  auto yes = [](unsigned v, unsigned on) { return v == on ? "yes" : "no"; };
  std::printf("default action: %s\nnext action:    %s\n", describe(def).c_str(),
              describe(next).c_str());
  conduit::ConduitSettings s;
  conduit::loadSettings(s);
  const auto& caps = s.acceptedCapabilities;
  std::printf("sync folder:    %s\n", s.syncFolder);
  std::printf("bitmaps:        16-bit %s, double density %s, compressed %s\n", yes(caps.depth, 16),
              yes(caps.density, 144), yes(caps.compression, 1));
  auto on = [](bool v) { return v ? "yes" : "no"; };
  std::printf("photos:         sent %s, fitted %s, dithered %s\n", on(s.photos), on(s.fitToDevice),
              on(s.dither));
}

}  // namespace

int runConfigure(int argc, char** argv) {
  ParsedOptions opts = parseOptions(argc, argv, {"--user", "--set"}, {"--headless"});
  if (opts.help) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  auto usage = [](const std::string& why) {
    std::fprintf(stderr, "lumora-hotsync configure: %s\n\n%s", why.c_str(), kUsage);
    return 2;
  };
  if (!opts.error.empty()) return usage(opts.error);
  auto user = opts.value("--user");
  if (!user || user->empty()) return usage("--user is required");
  if (user->size() >= record::kUserNameSize)
    return usage("the user name is longer than 63 characters");

  Request request;
  if (auto it = opts.values.find("--set"); it != opts.values.end()) {
    for (const std::string& s : it->second)
      if (auto error = addSetting(request, s)) return usage(*error);
  }
  if (request.next && request.def && request.next->type != request.def->type)
    return usage(
        "default=ACTION sets the next action too; give a different next action in a "
        "second run");

  char folder[1024];
  if (HsUserFolder(user->c_str(), folder, sizeof folder) != 0)
    return usage("'" + *user + "' cannot name a HotSync user");
  const std::string actionsFile = std::string(folder) + "/Actions.ini";
  const uint32_t def = profile::getInt(kActionsSection, kDefaultKey, 0, actionsFile);
  const uint32_t next = profile::getInt(kActionsSection, kNextKey, 0, actionsFile);

  // Refuse before anything is stored: OK would keep the dialog open on a missing folder.
  if (request.needsOk()) {
    std::string target =
        request.folder.value_or(setting(conduit::kKeySyncDir, conduit::kDefaultSyncDir));
    if (!folderExists(target)) {
      std::fprintf(stderr, "lumora-hotsync configure: the sync folder %s does not exist%s\n",
                   target.c_str(), request.folder ? "" : " (set one with --set folder=PATH)");
      return 1;
    }
    namespace script = conduit::dialog_script;
    if (request.folder) request.script.push_back(script::typeSyncFolder(*request.folder));
    if (const auto& a = request.def ? request.def : request.next) {
      request.script.push_back(script::chooseAction(a->type));
      request.script.push_back(script::setAsDefault(request.def.has_value()));
    }
    request.script.push_back(script::ok());
  } else if (!request.script.empty()) {
    request.script.push_back(conduit::dialog_script::cancel());
  }

  const bool headless = opts.has("--headless") || opts.values.count("--set") != 0;
  if (headless) {
    std::string script;
    for (const std::string& line : request.script) script += line + "\n";
#if defined(_WIN32)
    ::_putenv_s(ui::kDialogScriptVariable, script.c_str());
  } else if (false) {  // Windows always has its desktop
#else
    ::setenv(ui::kDialogScriptVariable, script.c_str(), 1);
  } else if (!std::getenv(ui::kDialogScriptVariable) && !std::getenv("DISPLAY")) {
#endif
    std::fprintf(stderr, "lumora-hotsync configure: no display: nothing changes without --set\n");
  }

  std::string error;
  auto conduit = loadRegisteredConduit(kAlbumCreator, error);
  if (!conduit) {
    std::fprintf(stderr, "lumora-hotsync configure: %s\n", error.c_str());
    return 1;
  }
  auto* cfgConduit = conduit->symbol<CfgConduitFn>("CfgConduit");
  if (!cfgConduit) {
    std::fprintf(stderr, "lumora-hotsync configure: the conduit has no CfgConduit export\n");
    return 1;
  }

  uint8_t rec[conduit::kConfigRecordSize] = {};
  record::HostRecord asked{*user, def, next};
  record::writeHostRecord(asked, rec, conduit::kConfigRecordSize);
  uint32_t size = conduit::kConfigRecordSize;
  if (int32_t r = cfgConduit(0, rec, &size); r != 0) {
    std::fprintf(stderr, "lumora-hotsync configure: CfgConduit returned %d\n", static_cast<int>(r));
    return 1;
  }
  conduit->unload();

  for (const auto& [key, value] : request.direct) {
    if (!profile::writeString(conduit::kIniSection, key, value, conduit::kIniFile)) {
      std::fprintf(stderr, "lumora-hotsync configure: cannot write %s to %s\n", key,
                   conduit::kIniFile);
      return 1;
    }
  }

  uint32_t newDef = def, newNext = next;
  record::readHostChoice(rec, asked);
  const uint32_t chosen = asked.chosenSyncType;
  const uint32_t scope = asked.choiceScope;
  if (chosen != record::HostRecord::kNotChosen &&
      (scope == record::kScopeDefaultAndNext || scope == record::kScopeNextOnly)) {
    newNext = chosen;
    if (scope == record::kScopeDefaultAndNext) newDef = chosen;
    bool stored =
        profile::writeString(kActionsSection, kNextKey, std::to_string(newNext), actionsFile);
    if (scope == record::kScopeDefaultAndNext)
      stored =
          profile::writeString(kActionsSection, kDefaultKey, std::to_string(newDef), actionsFile) &&
          stored;
    if (!stored) {
      std::fprintf(stderr, "lumora-hotsync configure: cannot write %s\n", actionsFile.c_str());
      return 1;
    }
    std::printf("%s: chose %s for %s\n", user->c_str(), describe(chosen).c_str(),
                scope == record::kScopeDefaultAndNext ? "every HotSync" : "the next HotSync");
  } else {
    std::printf("%s: no action chosen, the HotSync actions stay as they were\n", user->c_str());
  }
  printSettings(newDef, newNext);

  if (request.folder && setting(conduit::kKeySyncDir, "") != *request.folder) {
    std::fprintf(stderr, "lumora-hotsync configure: the conduit did not take the sync folder %s\n",
                 request.folder->c_str());
    return 1;
  }
  return 0;
}

}  // namespace lumora::host
