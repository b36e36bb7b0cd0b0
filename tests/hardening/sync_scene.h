// A HotSync scene for the hardening tests: a copy of the sample handheld and sync folder
// (with a picture on both sides), the conduit run in this process with one Sync Manager
// fault armed, and the checks that nothing was lost or half-written afterwards.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "common/bytes.h"
#include "tests/support/temp_dir.h"

namespace lumora::hardening {

using Snapshot = std::map<std::string, Bytes>;  // file name -> contents

// Every regular file of dir (hidden ones too), by name.
Snapshot snapshot(const std::string& dir);

struct LogEntry {
  std::string text;
  int32_t activity = 0;
  bool operator==(const LogEntry&) const = default;
};

struct Fault {
  std::string op;  // a Sync Manager function name
  int32_t nth = 1;
  int32_t code = 0;
  bool throwInteger = false;
};

struct ConduitRun {
  int32_t result = -1;
  bool escaped = false;  // an exception left OpenConduit or the write-back at unload
  std::vector<LogEntry> log;
  std::map<std::string, int32_t> calls;        // Sync Manager calls made, by operation
  std::map<std::string, int32_t> callsInSync;  // those made before the write-back
};

// The operations of the Sync Manager that the conduit may call.
const std::vector<std::string>& syncManagerOps();

class Scene {
 public:
  // Copies the samples; the sync folder also gets "Meadow.bmp", a picture of that name
  // already being on the handheld.
  Scene();
  Scene(const Scene&) = delete;
  Scene& operator=(const Scene&) = delete;

  std::string handheld() const { return root_.file("handheld"); }
  std::string sync() const { return root_.file("sync"); }
  std::string root() const { return root_.path(); }
  void setSyncFolder(const std::string& folder);

  // Connects the handheld for user "Tester": 0, or the C API's code.
  using Connector = std::function<int32_t()>;

  // Loads the conduit (process attach), runs OpenConduit with syncType, unloads it, all
  // with the handheld connected and fault (if any) armed. Without connect the folder
  // handheld() is connected in this process.
  ConduitRun run(uint32_t syncType, const std::optional<Fault>& fault = std::nullopt,
                 const Connector& connect = {});

 private:
  test::TempDir root_;
  std::optional<test::ScopedEnv> windows_, drive_;
};

// Every path under the scene's root, except inside the handheld directory, the sync folder
// and the Windows folder (the HotSync log), with the size of each file.
std::set<std::string> outsideFiles(const Scene& scene);

// A copy of the sample picture Meadow on the handheld under another database name.
void putPicture(const Scene& scene, const std::string& name);

// What a database file holds, without the dates and counters a new write changes.
struct DatabaseContent {
  std::string name;
  uint32_t type = 0, creator = 0;
  std::optional<Bytes> appInfo;
  std::vector<Bytes> records;
  bool operator==(const DatabaseContent&) const = default;
};
std::optional<DatabaseContent> databaseContent(ByteView file);

// The problems found after a run that started from before, where clean is what the same
// sync gives without a fault: desktop files are unchanged or (for a picture the sync
// replaces or adds) the complete new picture, no temporary file is left, every handheld
// file parses, none is lost, and every picture database is the old or the complete new one.
std::vector<std::string> damage(const Snapshot& deskBefore, const Snapshot& deskClean,
                                const Snapshot& deskAfter, const Snapshot& handBefore,
                                const Snapshot& handClean, const Snapshot& handAfter);

}  // namespace lumora::hardening
