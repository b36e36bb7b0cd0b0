#include "hotsync/session/hotsync_run.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "hotsync/api/hotsync_host.h"
#include "hotsync/session/conduit_api.h"
#include "hotsync/session/sync_status.h"
#include "platform/profile/profile.h"

namespace lumora::host {
namespace {

constexpr const char* kActionsSection = "LmDx";

// The conduit's lines that say it did what it was asked; every other one reports a problem.
// Its texts as it logs them: the HotSync Manager sees only the lines, not the conduit.
constexpr const char* kDoneLines[] = {
    "Lumora: sync operation completed successfully.",
    "LmDx configured to do nothing.",
    "Lumora: database successfully read from handheld.",
    "Lumora: database successfully created on handheld.",
};

// Problem lines of the conduit's run so far; -1 outside a run.
int problemLines = -1;
int lastProblemLines = 0;  // of the last run

std::string actionsFile(const std::string& user) {
  char folder[1024] = {};
  if (HsUserFolder(user.c_str(), folder, sizeof folder) != 0) return {};
  return std::string(folder) + "/Actions.ini";
}

}  // namespace

std::optional<uint32_t> parseSyncType(const std::string& text) {
  if (text.empty() || text.size() > 10) return std::nullopt;
  uint64_t v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    v = v * 10 + static_cast<uint64_t>(c - '0');
  }
  if (v > 0xFFFFFFFFull) return std::nullopt;
  return static_cast<uint32_t>(v);
}

uint32_t chooseSyncType(const std::string& user, std::optional<uint32_t> given) {
  if (given) return *given;
  const std::string actions = actionsFile(user);
  if (actions.empty()) return 0;
  return profile::getInt(kActionsSection, "NextAction", 0, actions);
}

void finishNextAction(const std::string& user, std::optional<uint32_t> given) {
  const std::string actions = actionsFile(user);
  if (given || actions.empty()) return;
  // A "next" action holds for one HotSync; then the default applies again.
  unsigned int def = profile::getInt(kActionsSection, "DefaultAction", 0, actions);
  profile::writeString(kActionsSection, "NextAction", std::to_string(def), actions);
}

bool runRegisteredConduit(uint32_t syncType, std::string& error) {
  lastProblemLines = 0;
  auto conduit = loadRegisteredConduit(kAlbumCreator, error);
  if (!conduit) return false;
  auto* openConduit = conduit->symbol<OpenConduitFn>("OpenConduit");
  auto* getName = conduit->symbol<GetConduitNameFn>("GetConduitName");
  auto* getVersion = conduit->symbol<GetConduitVersionFn>("GetConduitVersion");
  auto* getInfo = conduit->symbol<GetConduitInfoFn>("GetConduitInfo");
  if (!openConduit || !getName || !getVersion || !getInfo) {
    error = "the conduit lacks its entry points";
    return false;
  }

  char name[64] = {};
  if (getName(name, sizeof name) != 0) std::strcpy(name, "(no name)");
  uint32_t version = static_cast<uint32_t>(getVersion());
  uint32_t mfc = 0;
  uint32_t size = sizeof mfc;
  getInfo(1, nullptr, &mfc, &size);
  statusBeforeLine();
  std::printf("conduit: %s, version %u.%02u, sync type %u\n", name, version >> 8, version & 0xFF,
              syncType);

  // Sync properties: the conduit reads the sync type in the first four bytes.
  uint8_t properties[64] = {};
  std::memcpy(properties, &syncType, sizeof syncType);
  problemLines = 0;
  openConduit(nullptr, properties);

  // Unload while the handheld is still connected: the conduit writes back at unload.
  conduit->unload();
  lastProblemLines = problemLines;
  problemLines = -1;
  return true;
}

std::string closingLine(const std::string& complete, const std::string& user) {
  if (lastProblemLines <= 0) return complete;
  std::string line = complete + ": the conduit logged " + std::to_string(lastProblemLines) +
                     (lastProblemLines == 1 ? " problem line" : " problem lines");
  char folder[1024] = {};
  if (HsUserFolder(user.c_str(), folder, sizeof folder) == 0)
    line += ", see " + std::string(folder) + "/HotSync.log";
  return line;
}

void printLogEntry(const char* text, int32_t activity, void*) {
  statusBeforeLine();
  if (problemLines >= 0 &&
      std::none_of(std::begin(kDoneLines), std::end(kDoneLines),
                   [&](const char* done) { return std::strcmp(text, done) == 0; }))
    ++problemLines;
  std::printf("[%d] %s\n", static_cast<int>(activity), text);
  std::fflush(stdout);
}

void printReject(const char* fileName, const char* reason, void*) {
  statusBeforeLine();
  std::fprintf(stderr, "lumora-hotsync: not installed, left in the queue: %s: %s\n", fileName,
               reason);
}

}  // namespace lumora::host
