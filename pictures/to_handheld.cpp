// Desktop to handheld: every .bmp file of the sync folder becomes a picture database,
// converted to what the handheld's capability record allows.
#include <cstdio>
#include <exception>
#include <string>
#include <utility>

#include "conduit/transfers.h"
#include "pictures/capability_record.h"
#include "pictures/codec.h"
#include "pictures/handheld_db.h"
#include "pictures/log.h"
#include "pictures/name_flag_list.h"
#include "pictures/picture_database.h"
#include "pictures/picture_names.h"
#include "pictures/sync_folder.h"
#include "platform/files/files.h"
#include "hotsync/api/hotsync.h"

namespace lumora::pictures {
namespace {

void logRefusal(const std::string& fileName, const DeviceCapabilities& caps) {
  LogAddFormattedEntry(kActivityNormal, 0,
                       "Lumora: Cannot download %s file to handheld because the device supports "
                       "%d x %d bitmaps with maximum size of %u bytes of raw data",
                       printable(fileName).c_str(), static_cast<int>(caps.maxWidth),
                       static_cast<int>(caps.maxHeight), static_cast<unsigned>(caps.maxRawSize));
}

void logBadFileName(const std::string& fileName) {
  char line[1200];
  std::snprintf(line, sizeof line,
                "Lumora: file %s was not copied to the handheld: its name without the extension "
                "must have 1 to 31 characters.",
                printable(fileName).c_str());
  logEntry(line);
}

// An integer thrown by the Sync Manager while a database is being filled would leave it
// half-written once the handheld commits it; on the way out it is closed and deleted.
class DeleteIfAbandoned {
 public:
  DeleteIfAbandoned(OpenDatabase& db, std::string name)
      : db_(db), name_(std::move(name)), pending_(std::uncaught_exceptions()) {}
  ~DeleteIfAbandoned() {
    if (std::uncaught_exceptions() <= pending_) return;
    try {
      db_.close();
      deleteDatabase(name_, kCard);
    } catch (...) {
      // The first error is the one that travels on.
    }
  }
  DeleteIfAbandoned(const DeleteIfAbandoned&) = delete;
  DeleteIfAbandoned& operator=(const DeleteIfAbandoned&) = delete;

 private:
  OpenDatabase& db_;
  std::string name_;
  int pending_;
};

// Creates the database; with overwrite an existing one of that name is replaced.
// Returns the Sync Manager result, or nullopt when an existing database is to stay.
std::optional<int32_t> create(SyncCreateParams& params, bool overwrite) {
  SyncCreateParams fresh = params;
  int32_t rc = SyncCreateDb(&params);
  if (rc != SYNC_ERR_EXISTS) return rc;
  if (!overwrite) return std::nullopt;
  deleteDatabase(fresh.name, kCard);
  params = fresh;
  return SyncCreateDb(&params);
}

void copyOne(const std::string& folder, const std::string& fileName, uint32_t creator,
             bool overwrite, DeviceCapabilities& caps) {
  std::optional<std::string> name = databaseNameFor(fileName);
  if (!name) {
    logBadFileName(fileName);
    return;
  }
  uint32_t type = caps.compression != 0 ? kTypeCompressed : kTypeUncompressed;
  SyncCreateParams params = createParams(*name, type, creator, kBackupAttribute);
  if (NameFlagList::instance().flagFor(*name) == 0) return;

  std::optional<int32_t> created = create(params, overwrite);
  if (!created) return;
  NameFlagList::instance().addCreated(*name);
  if (*created != 0) {
    logEntry("Lumora: failed to create database on handheld.");
    return;
  }
  OpenDatabase db(params.handle);
  DeleteIfAbandoned abandoned(db, *name);

  std::string path = pathInFolder(folder, fileName);
  std::optional<Bytes> bitmap = codec().encode(path, caps);
  if (!bitmap) {
    // Kept swapped for the files that follow.
    std::swap(caps.maxWidth, caps.maxHeight);
    bitmap = codec().encode(path, caps);
  }
  if (!bitmap) {
    logRefusal(fileName, caps);
    db.close();
    deleteDatabase(*name, kCard);
    return;
  }
  if (writeAppInfo(db.handle(), static_cast<uint32_t>(bitmap->size())) != 0) {
    logEntry("Lumora: failed to write app info block.");
    db.close();
    deleteDatabase(*name, kCard);
    return;
  }
  bool written = writeChunks(db.handle(), *bitmap) == 0;
  if (written)
    logEntry("Lumora: database successfully created on handheld.");
  else
    logEntry("Lumora: failed to write record.");
  db.close();
  if (!written) {
    logEntry(
        "Lumora: failed to create database on handheld. Check whethere there is enough free "
        "space");
    deleteDatabase(*name, kCard);
  }
}

}  // namespace

bool copyPicturesToHandheld(uint32_t creator, bool overwrite) {
  DeviceCapabilities caps;
  if (!readDeviceCapabilities(caps)) return false;
  std::string folder = syncFolder();
  if (!syncFolderPresent(folder)) {
    logEntry(kMissingFolderLine, kActivityError);
    return false;
  }
  for (const std::string& fileName : files::fileSystem().find(pathInFolder(folder, "*.bmp"))) {
    copyOne(folder, fileName, creator, overwrite, caps);
  }
  return true;
}

}  // namespace lumora::pictures
