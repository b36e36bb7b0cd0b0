#include "conduit/dispatch.h"

#include "conduit/transfer_entries.h"
#include "conduit/transfer_table.h"
#include "hotsync/api/hotsync.h"
#include "pictures/picture_database.h"
#include "pictures/sync_log.h"
#include "pictures/transfers.h"

namespace lumora::conduit {
namespace {

using pictures::kActivityError;
using pictures::kActivityNormal;
using pictures::kCreatorAlbum;
using pictures::kCreatorPainting;
using pictures::kTypeCompressed;
using pictures::kTypeUncompressed;

// All four run whatever each finds; false when any of them found no sync folder.
bool copyAllToDesktop(bool overwrite) {
  auto& t = transfers();
  bool folderThere = t.copyPicturesToDesktop(kTypeUncompressed, kCreatorPainting, overwrite);
  folderThere &= t.copyPicturesToDesktop(kTypeCompressed, kCreatorPainting, overwrite);
  folderThere &= t.copyPicturesToDesktop(kTypeUncompressed, kCreatorAlbum, overwrite);
  folderThere &= t.copyPicturesToDesktop(kTypeCompressed, kCreatorAlbum, overwrite);
  return folderThere;
}

void logSuccess() {
  LogAddEntry(kSuccessLine, kActivityNormal, 0);
}

void act(uint32_t syncType) {
  switch (syncType) {
    case kSyncFiles:
      copyAllToDesktop(false);
      if (transfers().copyPicturesToHandheld(kCreatorAlbum, false)) logSuccess();
      break;
    case kHandheldOverwritesDesktop:
      // Other failures are reported by the transfers and still end with the success line.
      if (copyAllToDesktop(true)) logSuccess();
      break;
    case kDesktopOverwritesHandheld:
      if (transfers().copyPicturesToHandheld(kCreatorAlbum, true)) logSuccess();
      break;
    case kDoNothing:
      LogAddEntry(kDoNothingLine, kActivityNormal, 0);
      break;
    default:
      break;  // sync types the conduit does not act on
  }
}

}  // namespace

Transfers& transfers() {
  static Transfers t{&pictures::copyPicturesToDesktop, &pictures::copyPicturesToHandheld};
  return t;
}

void runSync(std::optional<uint32_t> syncType) {
  try {
    if (syncType) act(*syncType);
    SyncDeleteDB(kFontDatabase, 0);
  } catch (int32_t code) {
    LogAddFormattedEntry(kActivityError, 0, kCaughtErrorFormat, static_cast<long>(code));
  }
}

}  // namespace lumora::conduit
