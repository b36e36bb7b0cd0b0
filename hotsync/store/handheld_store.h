// The simulated handheld: a folder of .pdb files, one per database, all on card 0. Every
// file is checked when the store is made, but only a summary of each stays in memory: a
// database's records are read when it is opened and dropped when it is closed, so memory
// does not grow with the number of databases. Changes are kept per open handle and written
// (atomically, see host_files.h) when the handle is closed. Results are the Sync Manager
// codes of hotsync.h.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "hotsync/api/handheld.h"
#include "hotsync/api/hotsync.h"
#include "hotsync/format/pdb_file.h"

namespace lumora::hotsync {

constexpr size_t kMaxOpenDatabases = 32;
constexpr uint32_t kMaxRecordSize = 65505;

class HandheldStore final : public Handheld {
 public:
  using Logger = std::function<void(const std::string& text)>;
  // Seconds since 1904-01-01, the handheld's time, for the dates of written databases.
  using Clock = std::function<uint32_t()>;

  // Reads every *.pdb file of folder. A file that cannot be read or parsed, or that holds
  // a name another file already holds, is skipped with one log line and never written.
  // Without a clock the dates come from the system time.
  HandheldStore(std::string folder, Logger log, Clock clock = {});
  // Drops open handles without writing them, as a broken connection would.
  ~HandheldStore() override = default;
  HandheldStore(const HandheldStore&) = delete;
  HandheldStore& operator=(const HandheldStore&) = delete;

  int32_t open(const char* name, int32_t card, uint8_t mode, uint8_t& handle) override;
  int32_t create(const SyncCreateParams& params, uint8_t& handle) override;
  int32_t close(uint8_t handle) override;
  int32_t remove(const char* name, int32_t card) override;
  int32_t readRecordByIndex(SyncRawRecordInfo& info) override;
  int32_t writeRecord(SyncRawRecordInfo& info) override;
  int32_t readAppInfo(uint8_t handle, SyncAppInfoRequest& request) override;
  int32_t writeAppInfo(uint8_t handle, const SyncAppInfoRequest& request) override;
  int32_t findByTypeCreator(const SyncSearchTypeCreator& search, SyncDbInfo& info) override;
  int32_t findByName(const SyncSearchName& search, SyncDbInfo& info) override;

  // Stores db, replacing a database of the same name. 0, or a code and a reason.
  int32_t install(Database db, std::string& reason) override;

  // Closes every handle, writing the changed databases; false if one could not be written.
  bool closeAll() override;

  const std::string& folder() const { return folder_; }

 private:
  // What searches report of a database, kept while it is closed.
  struct Summary {
    std::string name;
    uint16_t attributes = 0;
    uint16_t version = 0;
    uint32_t type = 0;
    uint32_t creator = 0;
    uint32_t recordCount = 0;
    uint32_t totalSize = 0;
  };
  struct Entry {
    std::string fileName;
    Summary summary;  // as last written
    bool onDisk = false;
    bool open = false;
  };
  struct Handle {
    std::string name;
    uint8_t mode = 0;
    bool writable = false;
    bool created = false;
    bool dirty = false;
    Database db;  // the database as opened, with this handle's changes
    uint32_t nextUniqueId = 1;
  };

  static Summary summarize(const Database& db);

  void scan();
  const Handle* findHandle(uint8_t handle) const;
  Handle* findHandle(uint8_t handle);
  std::optional<uint8_t> allocateHandle() const;
  // Why fileName may not be used for a new database of that name, or nullopt.
  std::optional<std::string> fileNameConflict(const std::string& fileName,
                                              const std::string& dbName) const;
  bool commit(Handle& h);
  void fillInfo(const Summary& db, SyncDbInfo& info) const;

  std::string folder_;
  Logger log_;
  Clock clock_;
  std::map<std::string, Entry> entries_;  // by database name: the order of searches
  std::set<std::string> keptFiles_;       // files skipped when reading: never written
  std::map<uint8_t, Handle> handles_;
  std::optional<std::string> cursor_;  // the database a type/creator search returned last
  mutable uint8_t lastHandle_ = 0;
};

}  // namespace lumora::hotsync
