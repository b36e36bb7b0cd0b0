// Handheld to desktop: every wanted picture database of one type and creator becomes a
// 24-bit .bmp file of the sync folder named after the database.
#include <algorithm>
#include <cstdio>
#include <new>
#include <optional>
#include <set>
#include <string>

#include "bitmap/bmp_file.h"
#include "bitmap/format.h"
#include "hotsync/api/hotsync.h"
#include "pictures/codec.h"
#include "pictures/handheld_db.h"
#include "pictures/name_flag_list.h"
#include "pictures/photo_files.h"
#include "pictures/picture_database.h"
#include "pictures/picture_names.h"
#include "pictures/sync_folder.h"
#include "pictures/sync_log.h"
#include "pictures/transfers.h"
#include "platform/files/files.h"

namespace lumora::pictures {
namespace {

enum class Next { goOn, endTransfer };

// A handheld must not fill the sync folder's disk: the picture is written only when the
// disk keeps the margin free afterwards. A disk that cannot tell its space is not held up.
bool roomFor(const TransferOptions& options, ByteView bitmap, const std::string& path,
             const std::string& name) {
  auto layout = bitmap::parseLayout(bitmap);
  if (!layout) return true;  // the decoder refuses it with its own line
  const uint64_t bytes = 54 + uint64_t{bitmap::bmpRowLength(layout->width)} *
                                  static_cast<uint64_t>(std::max<int32_t>(layout->height, 0));
  auto space = files::fileSystem().diskSpace(path);
  if (!space) return true;
  const uint64_t margin = freeSpaceMargin(options, space->total);
  if (margin == 0 || (space->available >= bytes && space->available - bytes >= margin)) return true;
  char line[300];
  std::snprintf(line, sizeof line,
                "Lumora: handheld database \"%s\" was not copied: the desktop disk would keep "
                "less than %llu MiB free.",
                printable(name).c_str(), static_cast<unsigned long long>(margin >> 20));
  logEntry(line);
  return false;
}

void logAboutDatabase(const char* format, const std::string& name) {
  char line[200];
  std::snprintf(line, sizeof line, format, printable(name).c_str());
  logEntry(line);
}

// Reads one picture database and has the decoder write it to path.
Next copyOne(const TransferOptions& options, const SyncDbInfo& found, const std::string& name,
             const std::string& path, bool overwrite) {
  OpenResult opened = openForReading(name, static_cast<int32_t>(found.card));
  if (opened.code != 0) {
    logEntry("Lumora: failed to open handheld database.");
    return Next::endTransfer;
  }
  AppInfo appInfo;
  if (readAppInfo(opened.db.handle(), appInfo) != 0) {
    logEntry("Lumora: failed to read app info block.");
    opened.db.close();
    return Next::endTransfer;
  }
  if (appInfo.tag != kAppInfoTag) logEntry("Lumora: app info block is corrupted.");

  Bytes data;
  bool allocated = appInfo.dataSize <= kMaxDataSize;
  if (allocated) {
    try {
      data.resize(appInfo.dataSize);
    } catch (const std::bad_alloc&) {
      allocated = false;
    }
  }
  if (!allocated) {
    char line[200];
    std::snprintf(line, sizeof line,
                  "Lumora: handheld database \"%s\" is too large to read (%lu bytes).",
                  printable(name).c_str(), static_cast<unsigned long>(appInfo.dataSize));
    logEntry(line);
    opened.db.close();
    return Next::goOn;
  }

  if (readChunks(opened.db.handle(), data) != 0) {
    logEntry("Lumora: failed to read record.");
    opened.db.close();
    return Next::endTransfer;
  }
  logEntry("Lumora: database successfully read from handheld.");
  opened.db.close();

  if (!roomFor(options, data, path, name)) return Next::goOn;
  // A picture beyond what a handheld can hold is refused before anything is allocated.
  if (!codec().decode(data, path, overwrite, bitmap::kHandheldPictureLimits)) {
    logAboutDatabase(
        "Lumora: failed to write the picture of handheld database \"%s\" to the "
        "desktop.",
        name);
  }
  return Next::goOn;
}

enum class Phase { first, second };

// One search phase; false when the transfer is to end. photos holds the folded names of
// the sync folder's photos when they travel too.
bool walk(Phase phase, SyncSearchTypeCreator& search, const TransferOptions& options,
          bool overwrite, const std::set<std::string>* photos) {
  const std::string& folder = options.syncFolder;
  for (;; search.searchFlags = SYNC_SEARCH_CONTINUE) {
    SyncDbInfo found{};
    int32_t rc = SyncFindDbByTypeCreator(&search, &found);
    if (rc == SYNC_ERR_NO_MORE) return true;
    if (rc != 0) {
      char line[120];
      std::snprintf(line, sizeof line, "Lumora: failed to search handheld databases (error %ld).",
                    static_cast<long>(rc));
      logEntry(line);
      return false;
    }
    std::string name = nameOf(found.name);
    if (!isSafeFileStem(name)) {
      logAboutDatabase(
          "Lumora: handheld database \"%s\" was not copied: its name is not a "
          "valid file name.",
          name);
      continue;
    }
    std::string path = pathInFolder(folder, name + ".bmp");
    // The first phase asks the file first, the second the list first.
    if (phase == Phase::second && NameFlagList::instance().flagFor(name) == 0) continue;
    if (!overwrite && files::fileSystem().existsForRead(path)) continue;
    // A photo went to the handheld as this picture: the desktop already has it, and its
    // original is never replaced by the handheld's smaller copy.
    if (photos && photos->count(foldedName(name)) != 0 &&
        !files::fileSystem().existsForRead(path)) {
      if (overwrite)
        logAboutDatabase(
            "Lumora: handheld database \"%s\" was not copied: the desktop keeps its photo "
            "of that name.",
            name);
      continue;
    }
    if (phase == Phase::first && NameFlagList::instance().flagFor(name) == 0) continue;
    if (copyOne(options, found, name, path, overwrite) == Next::endTransfer) return false;
  }
}

}  // namespace

uint64_t freeSpaceMargin(const TransferOptions& options, uint64_t totalBytes) {
  if (options.freeSpaceMarginMb) return uint64_t{*options.freeSpaceMarginMb} << 20;
  return std::min<uint64_t>(uint64_t{512} << 20, totalBytes / 20);
}

bool copyPicturesToDesktop(const TransferOptions& options, uint32_t type, uint32_t creator,
                           bool overwrite) {
  const std::string& folder = options.syncFolder;
  if (!syncFolderPresent(folder)) {
    logEntry(kMissingFolderLine, kActivityError);
    return false;
  }
  SyncSearchTypeCreator search{};
  search.options = SYNC_SEARCH_OPTIONS;
  search.searchFlags = SYNC_SEARCH_NEW;
  search.type = type;
  search.creator = creator;
  std::optional<std::set<std::string>> photos;
  if (options.photos && bitmap::photoReadersBuilt())
    photos = photoNames(files::fileSystem().find(pathInFolder(folder, "*.*")));
  const std::set<std::string>* photoList = photos ? &*photos : nullptr;
  if (!walk(Phase::first, search, options, overwrite, photoList)) return true;
  // The flags stay as the first phase left them: a new search only when it met nothing.
  search.type = kTypeCompressed;
  walk(Phase::second, search, options, overwrite, photoList);
  return true;
}

}  // namespace lumora::pictures
