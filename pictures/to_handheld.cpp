// Desktop to handheld: every .bmp file of the sync folder becomes a picture database,
// converted to what the handheld's capability record allows.
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "hotsync/api/hotsync.h"
#include "pictures/capability_record.h"
#include "pictures/codec.h"
#include "pictures/handheld_db.h"
#include "pictures/name_flag_list.h"
#include "pictures/photo_files.h"
#include "pictures/picture_database.h"
#include "pictures/picture_names.h"
#include "pictures/saved_database.h"
#include "pictures/sync_folder.h"
#include "pictures/sync_log.h"
#include "pictures/transfers.h"
#include "platform/files/files.h"

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

// A picture database being written, and the database of that name it replaces, if any.
// Unless kept, it ends by deleting what was written and putting the old database back, also
// when an integer thrown by the Sync Manager passes through, so a picture is never left
// half-written nor lost.
class PictureWrite {
 public:
  PictureWrite(std::string name, std::optional<SavedDatabase> replaced)
      : name_(std::move(name)), replaced_(std::move(replaced)) {}
  ~PictureWrite() {
    // Every finished write is kept or abandoned, so an open one here is being left by an
    // exception. (Counting uncaught exceptions cannot tell: on Windows the Sync Manager's
    // library throws through a C++ runtime of its own, which the count does not see.)
    if (done_) return;
    try {
      abandon();
    } catch (...) {
      // The first error is the one that travels on.
    }
  }
  PictureWrite(const PictureWrite&) = delete;
  PictureWrite& operator=(const PictureWrite&) = delete;

  // The new database was created and is open.
  void created(uint8_t handle) {
    db_ = OpenDatabase(handle);
    created_ = true;
  }
  // The old database is still there (its deletion failed): nothing to put back.
  void oldStayed() { replaced_.reset(); }
  uint8_t handle() const { return db_.handle(); }
  void close() { db_.close(); }
  void keep() {
    close();
    done_ = true;
  }
  void abandon() {
    if (done_) return;
    done_ = true;
    close();
    if (created_) deleteDatabase(name_, kCard);
    if (replaced_ && !restoreDatabase(*replaced_)) {
      char line[200];
      std::snprintf(line, sizeof line,
                    "Lumora: the former handheld database \"%s\" could not be put back.",
                    printable(name_).c_str());
      logEntry(line);
    }
  }

 private:
  std::string name_;
  std::optional<SavedDatabase> replaced_;
  OpenDatabase db_;
  bool created_ = false;
  bool done_ = false;
};

enum class Creation { created, exists, failed };

// Creates the database; an existing one of that name is left as it is.
Creation createDatabase(SyncCreateParams& params) {
  int32_t rc = SyncCreateDB(&params);
  if (rc == 0) return Creation::created;
  return rc == SYNC_ERR_EXISTS ? Creation::exists : Creation::failed;
}

// The picture as the handheld takes it; when it does not fit, once more with the maxima
// swapped, which stay swapped for the files that follow.
std::optional<Bytes> encodeFor(const std::string& path, DeviceCapabilities& caps,
                               const bitmap::EncodeOptions& options) {
  std::optional<Bytes> bitmap = codec().encode(path, caps, options);
  if (bitmap) return bitmap;
  std::swap(caps.maxWidth, caps.maxHeight);
  return codec().encode(path, caps, options);
}

void copyOne(const std::string& folder, const std::string& fileName,
             const std::optional<std::string>& name, uint32_t creator, bool overwrite,
             DeviceCapabilities& caps, const bitmap::EncodeOptions& options) {
  if (!name) {
    logBadFileName(fileName);
    return;
  }
  uint32_t type = caps.compression != 0 ? kTypeCompressed : kTypeUncompressed;
  const SyncCreateParams fresh = createParams(*name, type, creator, kBackupAttribute);
  if (NameFlagList::instance().flagFor(*name) == 0) return;

  const std::string path = pathInFolder(folder, fileName);
  SyncCreateParams params = fresh;
  Creation creation = createDatabase(params);
  std::optional<Bytes> bitmap;
  std::optional<SavedDatabase> replaced;
  if (creation == Creation::exists) {
    if (!overwrite) return;
    // The existing picture goes only once there is one to put in its place, and it is
    // kept in memory until that one is written.
    bitmap = encodeFor(path, caps, options);
    if (!bitmap) {
      NameFlagList::instance().addCreated(*name);
      logRefusal(fileName, caps);
      return;
    }
    replaced = saveDatabase(*name);
    if (!replaced) {
      char line[200];
      std::snprintf(line, sizeof line,
                    "Lumora: handheld database \"%s\" could not be read, so it was not "
                    "replaced.",
                    printable(*name).c_str());
      logEntry(line);
      return;
    }
  }
  PictureWrite write(*name, std::move(replaced));
  if (creation == Creation::exists) {
    deleteDatabase(*name, kCard);
    params = fresh;
    creation = createDatabase(params);
    if (creation == Creation::exists) write.oldStayed();
  }
  NameFlagList::instance().addCreated(*name);
  if (creation != Creation::created) {
    logEntry("Lumora: failed to create database on handheld.");
    write.abandon();
    return;
  }
  write.created(params.handle);

  if (!bitmap) bitmap = encodeFor(path, caps, options);
  if (!bitmap) {
    logRefusal(fileName, caps);
    write.abandon();
    return;
  }
  if (writeAppInfo(write.handle(), static_cast<uint32_t>(bitmap->size())) != 0) {
    logEntry("Lumora: failed to write app info block.");
    write.abandon();
    return;
  }
  if (writeChunks(write.handle(), *bitmap) == 0) {
    logEntry("Lumora: database successfully created on handheld.");
    write.keep();
    return;
  }
  logEntry("Lumora: failed to write record.");
  write.close();
  logEntry(
      "Lumora: failed to create database on handheld. Check whethere there is enough free "
      "space");
  write.abandon();
}

}  // namespace

bool copyPicturesToHandheld(const TransferOptions& settings, uint32_t creator, bool overwrite) {
  DeviceCapabilities caps;
  if (!readDeviceCapabilities(caps, settings.accepted)) return false;
  const std::string& folder = settings.syncFolder;
  if (!syncFolderPresent(folder)) {
    logEntry(kMissingFolderLine, kActivityError);
    return false;
  }
  const bitmap::EncodeOptions options{settings.fitToDevice, settings.dither};
  const std::vector<std::string> bmpFiles = files::fileSystem().find(pathInFolder(folder, "*.bmp"));
  for (const std::string& fileName : bmpFiles) {
    copyOne(folder, fileName, databaseNameFor(fileName), creator, overwrite, caps, options);
  }
  if (!settings.photos) return true;
  if (!bitmap::photoReadersBuilt()) {
    logEntry("Lumora: Photos=1 is ignored: this build reads .bmp files only.");
    return true;
  }
  PhotoPlan plan = planPhotos(bmpFiles, files::fileSystem().find(pathInFolder(folder, "*.*")));
  for (const PhotoLeftOut& left : plan.leftOut) {
    char line[1200];
    std::snprintf(line, sizeof line,
                  "Lumora: file %s was not copied to the handheld: %s of the same name goes "
                  "instead.",
                  printable(left.photo).c_str(), printable(left.goes).c_str());
    logEntry(line);
  }
  bitmap::EncodeOptions photoOptions = options;
  photoOptions.formats = picture::Formats::all;
  for (const std::string& fileName : plan.send) {
    copyOne(folder, fileName, photoDatabaseName(fileName), creator, overwrite, caps, photoOptions);
  }
  return true;
}

}  // namespace lumora::pictures
