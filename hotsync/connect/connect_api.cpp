// Connecting the Sync Manager to a handheld: the folder store on this machine or a handheld
// at the far end of a link (which first gets back what an interrupted HotSync left), and
// disconnecting it. The only part of the library that knows the backends.
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "hotsync/api/hotsync_host.h"
#include "hotsync/api/hotsync_journal.h"
#include "hotsync/api/session.h"
#include "hotsync/api/user_paths.h"
#include "hotsync/link/dlp_handheld.h"
#include "hotsync/store/environment_clock.h"
#include "hotsync/store/handheld_store.h"
#include "platform/files/atomic_files.h"
#include "platform/process/test_hooks.h"

using lumora::hotsync::Call;
using lumora::hotsync::HotSyncJournal;
using lumora::hotsync::Session;

namespace {

constexpr int32_t kLogActivity = -1;

void logLine(const std::string& text) {
  lumora::hotsync::session().log.add(text, kLogActivity);
}

int32_t disconnect(Session& s) {
  if (!s.handheld) return SYNC_ERR_NOT_CONNECTED;
  bool written = s.handheld->closeAll();
  s.handheld.reset();
  s.registered = false;
  s.user.clear();
  s.log.setFile({});
  return written ? SYNC_OK : SYNC_ERR_STORAGE;
}

void armFaultsFromEnvironment(Session& s) {
  auto parsed = lumora::hotsync::parseFaultList(lumora::hooks::hotSyncFaults());
  s.faults.armFromEnvironment(parsed.faults);
  for (const std::string& entry : parsed.rejected)
    logLine("HotSync: ignored the fault \"" + entry +
            "\" of LUMORA_HOTSYNC_FAULTS (expected Op:nth:code[:throw]).");
}

// Puts the handheld back as it was before a HotSync that broke off: what it created goes,
// what it deleted comes back. The journal stays until all of it is done.
void undoInterruptedHotSync(lumora::hotsync::Handheld& handheld, HotSyncJournal& journal) {
  bool undone = true;
  std::vector<lumora::hotsync::Database> copies = journal.keptCopies();
  std::set<std::string> restored;
  for (const auto& db : copies) restored.insert(db.name);
  for (const std::string& name : journal.createdNames()) {
    if (restored.count(name)) continue;
    int32_t r = handheld.remove(name.c_str(), 0);
    if (r == SYNC_OK)
      logLine("HotSync: deleted \"" + name + "\", left unfinished by an interrupted HotSync.");
    else if (r != SYNC_ERR_NOT_FOUND)
      undone = false;
  }
  for (auto& db : copies) {
    std::string name = db.name;
    std::string reason;
    if (handheld.install(std::move(db), reason) == SYNC_OK)
      logLine("HotSync: put back \"" + name + "\" as it was before an interrupted HotSync.");
    else
      undone = false;
  }
  if (undone) journal.clear();
}

}  // namespace

extern "C" {

HOTSYNC_API int32_t HsConnect(const char* handheldDir, const char* userName) {
  Call call;
  if (!handheldDir || !userName) return SYNC_ERR_BAD_ARG;
  auto logFile = lumora::hotsync::userLogFile(userName);
  if (!logFile) return SYNC_ERR_BAD_ARG;
  Session& s = call.s;
  if (s.handheld) disconnect(s);
  if (!lumora::files::isFolder(handheldDir)) return SYNC_ERR_NOT_FOUND;
  s.user = userName;
  s.log.setFile(*logFile);
  armFaultsFromEnvironment(s);
  s.handheld = std::make_unique<lumora::hotsync::HandheldStore>(
      handheldDir, logLine, lumora::hotsync::clockFromEnvironment(logLine));
  return SYNC_OK;
}

HOTSYNC_API int32_t HsConnectLink(HsDlpExchangeFn exchange, void* context, const char* userName,
                                  uint16_t dlpMajor, uint16_t dlpMinor) {
  Call call;
  if (!exchange || !userName) return SYNC_ERR_BAD_ARG;
  auto logFile = lumora::hotsync::userLogFile(userName);
  auto folder = lumora::hotsync::userFolder(userName);
  if (!logFile || !folder) return SYNC_ERR_BAD_ARG;
  Session& s = call.s;
  if (s.handheld) disconnect(s);
  s.user = userName;
  s.log.setFile(*logFile);
  armFaultsFromEnvironment(s);

  lumora::link::DlpHandheld::Options options;
  options.dlpMajor = dlpMajor;
  options.dlpMinor = dlpMinor;
  auto send = [exchange, context](lumora::ByteView request) -> std::optional<lumora::Bytes> {
    const uint8_t* answer = nullptr;
    uint32_t size = 0;
    if (exchange(context, request.data(), static_cast<uint32_t>(request.size()), &answer, &size) !=
            0 ||
        (!answer && size > 0))
      return std::nullopt;
    return lumora::Bytes(answer, answer + size);
  };
  auto handheld = std::make_unique<lumora::link::DlpHandheld>(send, options);
  auto journal = std::make_shared<HotSyncJournal>(*folder + "/Interrupted");
  if (journal->pending()) undoInterruptedHotSync(*handheld, *journal);
  handheld->setJournal({
      [journal](const std::string& name) { return journal->created(name); },
      [journal](const std::string& name) { journal->notCreated(name); },
      [journal](const std::string& name) { return journal->wantsCopy(name); },
      [journal](const lumora::hotsync::Database& old) { return journal->deleting(old); },
      [journal] { journal->clear(); },
  });
  s.handheld = std::move(handheld);
  return SYNC_OK;
}

HOTSYNC_API int32_t HsResetRequested(void) {
  Call call;
  auto* link = dynamic_cast<lumora::link::DlpHandheld*>(call.s.handheld.get());
  return link && link->resetRequested() ? 1 : 0;
}

HOTSYNC_API int32_t HsDisconnect(void) {
  Call call;
  return disconnect(call.s);
}

}  // extern "C"
