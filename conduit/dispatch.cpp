#include "conduit/dispatch.h"

#include "common/bytes.h"
#include "conduit/transfers.h"
#include "hotsync/api/hotsync.h"

namespace lumora::conduit {
namespace {

constexpr uint32_t kTypeUncompressed = fourCC("bpmf");
constexpr uint32_t kTypeCompressed = fourCC("bpmc");
constexpr uint32_t kCreatorAlbum = fourCC("LmDx");
constexpr uint32_t kCreatorPainting = fourCC("SkVa");

void copyAllToDesktop(bool overwrite) {
  auto& t = transfers();
  t.copyPicturesToDesktop(kTypeUncompressed, kCreatorPainting, overwrite);
  t.copyPicturesToDesktop(kTypeCompressed, kCreatorPainting, overwrite);
  t.copyPicturesToDesktop(kTypeUncompressed, kCreatorAlbum, overwrite);
  t.copyPicturesToDesktop(kTypeCompressed, kCreatorAlbum, overwrite);
}

void logSuccess() {
  LogAddEntry(kSuccessLine, kActivityNormal, 0);
}

void dispatch(uint32_t syncType) {
  switch (syncType) {
    case kSyncFiles:
      copyAllToDesktop(false);
      if (transfers().copyPicturesToHandheld(kCreatorAlbum, false)) logSuccess();
      break;
    case kHandheldOverwritesDesktop:
      copyAllToDesktop(true);
      logSuccess();
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
  SyncDeleteDb(kFontDatabase, 0);
}

}  // namespace

Transfers& transfers() {
  static Transfers t{&pictures::copyPicturesToDesktop, &pictures::copyPicturesToHandheld};
  return t;
}

void runSync(uint32_t syncType) {
  try {
    dispatch(syncType);
  } catch (int32_t code) {
    LogAddFormattedEntry(kActivityError, 0, kCaughtErrorFormat, static_cast<long>(code));
  }
}

}  // namespace lumora::conduit
