#include "tests/hardening/sync_scene.h"

#include <stdexcept>

#include "conduit/exports.h"
#include "conduit/library_entry.h"
#include "hotsync/api/hotsync_host.h"
#include "hotsync/format/pdb_file.h"
#include "pictures/name_flag_list.h"
#include "platform/picture/picture.h"
#include "samples/sample_files.h"

namespace lumora::hardening {
namespace fs = std::filesystem;

Snapshot snapshot(const std::string& dir) {
  Snapshot s;
  if (!fs::is_directory(dir)) return s;
  for (const auto& e : fs::directory_iterator(dir))
    if (e.is_regular_file()) s[e.path().filename().string()] = test::readFile(e.path().string());
  return s;
}

std::set<std::string> outsideFiles(const Scene& scene) {
  std::set<std::string> out;
  for (auto it = fs::recursive_directory_iterator(scene.root());
       it != fs::recursive_directory_iterator(); ++it) {
    std::string p = it->path().string();
    if (p == scene.handheld() || p == scene.sync()) {
      it.disable_recursion_pending();
      continue;
    }
    if (p.rfind(scene.root() + "/windows", 0) == 0) continue;  // the HotSync log
    out.insert(p + (fs::is_symlink(it->symlink_status())
                        ? ""
                        : ":" + std::to_string(it->is_regular_file() ? fs::file_size(*it) : 0)));
  }
  return out;
}

void putPicture(const Scene& scene, const std::string& name) {
  auto db = hotsync::parsePdb(test::readFile(scene.handheld() + "/Meadow.pdb")).database;
  if (!db) throw std::runtime_error("cannot read Meadow.pdb");
  db->name = name;
  test::writeFile(scene.handheld() + "/" + samples::pdbFileName(name), samples::serializePdb(*db));
}

const std::vector<std::string>& syncManagerOps() {
  static const std::vector<std::string> ops{"SyncOpenDB",
                                            "SyncCreateDB",
                                            "SyncCloseDB",
                                            "SyncDeleteDB",
                                            "SyncReadRecordByIndex",
                                            "SyncWriteRec",
                                            "SyncReadDBAppInfoBlock",
                                            "SyncWriteDBAppInfoBlock",
                                            "SyncTrace",
                                            "SyncFindDbByTypeCreator",
                                            "SyncFindDbByName",
                                            "LogAddEntry",
                                            "LogAddFormattedEntry"};
  return ops;
}

Scene::Scene() {
  const std::string samples = LUMORA_SOURCE_DIR "/samples";
  fs::copy(samples + "/handheld", handheld());
  fs::copy(samples + "/sync", sync());
  fs::copy_file(sync() + "/Lighthouse.bmp", sync() + "/Meadow.bmp");
  fs::create_directories(root_.file("windows"));
  fs::create_directories(root_.file("drive_c"));
  windows_.emplace("LUMORA_WINDOWS_DIR", root_.file("windows"));
  drive_.emplace("LUMORA_DRIVE_C", root_.file("drive_c"));
  setSyncFolder(sync());
}

void Scene::setSyncFolder(const std::string& folder) {
  test::writeText(root_.file("windows") + "/Lumdex.ini", "[Lumdex]\r\nSyncDir=" + folder + "\r\n");
}

namespace {
void capture(const char* text, int32_t activity, void* context) {
  static_cast<ConduitRun*>(context)->log.push_back({text, activity});
}
int moduleMarker;
}  // namespace

ConduitRun Scene::run(uint32_t syncType, const std::optional<Fault>& fault,
                      const Connector& connect) {
  ConduitRun out;
  HsSetLogObserver(capture, &out);
  if ((connect ? connect() : HsConnect(handheld().c_str(), "Tester")) != 0) return out;
  HsResetFaults();
  if (fault) HsInjectFault(fault->op.c_str(), fault->nth, fault->code, fault->throwInteger ? 1 : 0);
  conduit::processAttach(&moduleMarker);
  auto count = [&out](std::map<std::string, int32_t>& into) {
    for (const auto& op : syncManagerOps())
      if (int32_t n = HsCallCount(op.c_str()); n > 0) into[op] = n;
  };
  uint8_t properties[64] = {};
  for (int i = 0; i < 4; ++i) properties[i] = static_cast<uint8_t>(syncType >> (8 * i));
  try {
    out.result = OpenConduit(nullptr, properties);
  } catch (...) {
    out.escaped = true;
  }
  count(out.callsInSync);
  // What unloading the library does: the name-flag list is written back.
  try {
    pictures::NameFlagList::writeBackAndReset();
  } catch (...) {
    out.escaped = true;
  }
  conduit::processDetach();
  count(out.calls);
  HsResetFaults();
  HsDisconnect();
  HsSetLogObserver(nullptr, nullptr);
  return out;
}

std::optional<DatabaseContent> databaseContent(ByteView file) {
  auto db = hotsync::parsePdb(file).database;
  if (!db) return std::nullopt;
  DatabaseContent c{db->name, db->type, db->creator, db->appInfo, {}};
  for (const auto& r : db->records) c.records.push_back(r.data);
  return c;
}

namespace {

bool isPictureDatabase(const DatabaseContent& c) {
  return c.type == fourCC("bpmc") || c.type == fourCC("bpmf");
}

// A picture database is complete when its app-info block announces the bytes it holds.
bool complete(const DatabaseContent& c) {
  if (!c.appInfo || c.appInfo->size() != 6) return false;
  size_t total = 0;
  for (const auto& r : c.records) total += r.size();
  return loadBe32(c.appInfo->data() + 2) == total && total > 0;
}

}  // namespace

std::vector<std::string> damage(const Snapshot& deskBefore, const Snapshot& deskClean,
                                const Snapshot& deskAfter, const Snapshot& handBefore,
                                const Snapshot& handClean, const Snapshot& handAfter) {
  std::vector<std::string> problems;
  for (const auto& [name, bytes] : deskAfter) {
    if (name.empty() || name[0] == '.') {
      problems.push_back("temporary file left in the sync folder: " + name);
      continue;
    }
    auto before = deskBefore.find(name);
    auto clean = deskClean.find(name);
    bool old = before != deskBefore.end() && before->second == bytes;
    bool fresh = clean != deskClean.end() && clean->second == bytes;
    // A file the sync adds may also be one a failed read of the info database let through.
    if (before != deskBefore.end() && !old && !fresh)
      problems.push_back("desktop file neither old nor new: " + name);
    if (!picture::parseBmp(bytes)) problems.push_back("desktop file does not read: " + name);
  }
  for (const auto& [name, bytes] : deskBefore)
    if (!deskAfter.count(name)) problems.push_back("desktop file lost: " + name);

  for (const auto& [name, bytes] : handAfter) {
    if (name.size() < 4 || name.substr(name.size() - 4) != ".pdb") {
      problems.push_back("stray file on the handheld: " + name);
      continue;
    }
    auto after = databaseContent(bytes);
    if (!after) {
      problems.push_back("handheld database does not parse: " + name);
      continue;
    }
    if (after->type == fourCC("iidb")) {
      if (!complete(*after)) problems.push_back("info database incomplete: " + name);
      continue;
    }
    if (!isPictureDatabase(*after)) continue;
    auto before = handBefore.find(name);
    auto clean = handClean.find(name);
    bool old = before != handBefore.end() && databaseContent(before->second) == after;
    bool fresh = clean != handClean.end() && databaseContent(clean->second) == after;
    if (!old && !fresh) problems.push_back("picture database neither old nor new: " + name);
    if (!complete(*after)) problems.push_back("picture database incomplete: " + name);
  }
  for (const auto& [name, bytes] : handBefore) {
    if (!handAfter.count(name)) problems.push_back("handheld database lost: " + name);
  }
  return problems;
}

}  // namespace lumora::hardening
