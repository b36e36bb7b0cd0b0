// The one place that hands the conduit's settings to the picture exchange: the options the
// transfers get, and the entry points that take them from the loaded conduit.
#include "conduit/transfer_entries.h"

#include "conduit/settings.h"
#include "pictures/capability_record.h"
#include "pictures/transfers.h"

namespace lumora::conduit {

pictures::TransferOptions transferOptions(const ConduitSettings& settings) {
  pictures::TransferOptions options;
  const char* text = settings.syncFolder;
  size_t n = 0;
  while (n < kPathCapacity && text[n] != '\0') ++n;
  options.syncFolder.assign(text, n);
  options.accepted = settings.acceptedCapabilities;
  options.photos = settings.photos;
  options.fitToDevice = settings.fitToDevice;
  options.dither = settings.dither;
  options.freeSpaceMarginMb = settings.freeSpaceMarginMb;
  return options;
}

}  // namespace lumora::conduit

namespace lumora::pictures {

bool copyPicturesToDesktop(uint32_t type, uint32_t creator, bool overwrite) {
  return copyPicturesToDesktop(conduit::transferOptions(conduit::settings()), type, creator,
                               overwrite);
}

bool copyPicturesToHandheld(uint32_t creator, bool overwrite) {
  return copyPicturesToHandheld(conduit::transferOptions(conduit::settings()), creator, overwrite);
}

bool readDeviceCapabilities(DeviceCapabilities& caps) {
  return readDeviceCapabilities(caps, conduit::settings().acceptedCapabilities);
}

}  // namespace lumora::pictures
