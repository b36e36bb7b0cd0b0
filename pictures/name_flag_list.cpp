#include "pictures/name_flag_list.h"

#include <memory>
#include <new>

#include "hotsync/api/hotsync.h"
#include "pictures/handheld_db.h"
#include "pictures/picture_database.h"
#include "pictures/sync_log.h"

namespace lumora::pictures {
namespace {

// Its destructor runs when the library is unloaded (or the process ends) and writes the
// list back while the handheld is still connected.
struct Holder {
  std::unique_ptr<NameFlagList> list;
  ~Holder() {
    if (list) list->writeBack();
  }
};

Holder& holder() {
  static Holder h;
  return h;
}

void logOpenFailure(int32_t code) {
  switch (code) {
    case SYNC_ERR_TOO_MANY_OPEN:
      logEntry("Lumora: SYNCERR_TOO_MANY_OPEN_FILES", kActivityError);
      break;
    case SYNC_ERR_ALREADY_OPEN:
      logEntry("Lumora : SYNCERR_FILE_ALREADY_OPEN", kActivityError);
      break;
    case SYNC_ERR_BAD_ARG:
      logEntry("Lumora : SYNCERR_REMOTE_BAD_ARG", kActivityError);
      break;
    default:
      break;
  }
}

std::optional<Bytes> readInfoBlob() {
  SyncSearchName search{};
  search.options = SYNC_SEARCH_OPTIONS;
  search.card = kCard;
  search.name = kInfoDatabase;
  SyncDbInfo info{};
  if (SyncFindDbByName(&search, &info) != 0) return std::nullopt;

  OpenResult opened = openForReading(nameOf(info.name), static_cast<int32_t>(info.card));
  if (opened.code != 0) {
    logOpenFailure(opened.code);
    return std::nullopt;
  }
  AppInfo appInfo;
  if (readAppInfo(opened.db.handle(), appInfo) != 0 || appInfo.tag != kAppInfoTag) {
    return std::nullopt;
  }
  if (appInfo.dataSize > kMaxDataSize) return std::nullopt;
  Bytes blob;
  try {
    blob.resize(appInfo.dataSize);
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
  if (readChunks(opened.db.handle(), blob) != 0) return std::nullopt;
  opened.db.close();
  return blob;
}

}  // namespace

NameFlagList& NameFlagList::instance() {
  Holder& h = holder();
  if (!h.list) {
    h.list = std::make_unique<NameFlagList>();
    h.list->load();
  }
  return *h.list;
}

void NameFlagList::writeBackAndReset() {
  Holder& h = holder();
  if (!h.list) return;
  std::unique_ptr<NameFlagList> list = std::move(h.list);
  list->writeBack();
}

void NameFlagList::load() {
  entries_.clear();
  blob_ = readInfoBlob();
  if (blob_) entries_ = parseNameFlagBlob(*blob_);
}

namespace {

SyncCreateParams infoParams() {
  return createParams(kInfoDatabase, kInfoType, kCreatorAlbum, 0);
}

// Fills the picture info database just created and open at handle, then closes it; when
// that fails or throws, deletes it again. Throws nothing.
bool fill(uint8_t handle, ByteView blob) {
  bool written = false;
  try {
    OpenDatabase db(handle);
    Bytes data(blob.begin(), blob.end());
    written = writeAppInfo(db.handle(), static_cast<uint32_t>(data.size())) == 0 &&
              writeChunks(db.handle(), data) == 0;
    db.close();
  } catch (...) {
    written = false;
  }
  if (written) return true;
  try {
    deleteDatabase(kInfoDatabase, kCard);
  } catch (...) {
    // Nothing more can be done while unloading.
  }
  return false;
}

// Creates the picture info database holding blob, whole or not at all. Throws nothing.
bool createWhole(ByteView blob) {
  SyncCreateParams params = infoParams();
  try {
    if (SyncCreateDB(&params) != 0) return false;
  } catch (...) {
    return false;
  }
  return fill(params.handle, blob);
}

// Deletes the database there and creates it anew holding updated; when that cannot be
// written whole, the old contents are put back.
void replaceInfoDatabase(ByteView old, ByteView updated) {
  SyncCreateParams params = infoParams();
  int32_t rc = SyncCreateDB(&params);
  if (rc == 0) {
    // It vanished since loading: the database just made takes the contents.
    if (!fill(params.handle, updated)) createWhole(old);
    return;
  }
  if (rc != SYNC_ERR_EXISTS) return;
  try {
    deleteDatabase(kInfoDatabase, kCard);
  } catch (...) {
    // It may be gone all the same; the creates below find out.
  }
  if (!createWhole(updated)) createWhole(old);
}

}  // namespace

// Runs when the library unloads, where nothing may throw. The old contents were loaded
// whole, so a failing write-back never loses the handheld's picture list.
void NameFlagList::writeBack() const {
  if (!blob_) return;
  try {
    replaceInfoDatabase(*blob_, writtenBackBlob(*blob_, created_));
  } catch (...) {
    // Nothing more can be done while unloading.
  }
}

uint8_t NameFlagList::flagFor(std::string_view name) const {
  for (const auto& entry : entries_) {
    if (entry.name && *entry.name == name) return entry.flag;
  }
  return 1;
}

void NameFlagList::addCreated(std::string_view name) {
  if (created_.size() >= kMaxCreatedNames) {
    if (!overflowLogged_) {
      logEntry(
          "Lumora: more than 255 pictures were created; the names of the others are not "
          "recorded in \"Sketvia_InfoDB\".");
      overflowLogged_ = true;
    }
    return;
  }
  name = name.substr(0, std::min<size_t>(name.size(), 255));
  created_.emplace_back(name);
  createdBytes_ = static_cast<uint16_t>(createdBytes_ + name.size() + 1);
}

}  // namespace lumora::pictures
