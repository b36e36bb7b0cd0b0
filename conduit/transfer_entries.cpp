// The one place of the picture exchange that reads the conduit's settings: the options the
// transfers get, and the entry points that take them from the loaded conduit.
#include "pictures/transfer_options.h"

#include <algorithm>

#include "conduit/settings.h"
#include "pictures/capability_record.h"
#include "pictures/transfers.h"

namespace lumora::pictures {

TransferOptions transferOptions(const conduit::ConduitSettings& settings) {
  TransferOptions options;
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

uint64_t freeSpaceMargin(const TransferOptions& options, uint64_t totalBytes) {
  if (options.freeSpaceMarginMb) return uint64_t{*options.freeSpaceMarginMb} << 20;
  return std::min<uint64_t>(uint64_t{512} << 20, totalBytes / 20);
}

bool copyPicturesToDesktop(uint32_t type, uint32_t creator, bool overwrite) {
  return copyPicturesToDesktop(transferOptions(conduit::settings()), type, creator, overwrite);
}

bool copyPicturesToHandheld(uint32_t creator, bool overwrite) {
  return copyPicturesToHandheld(transferOptions(conduit::settings()), creator, overwrite);
}

bool readDeviceCapabilities(DeviceCapabilities& caps) {
  return readDeviceCapabilities(caps, conduit::settings().acceptedCapabilities);
}

}  // namespace lumora::pictures
