#include "conduit/settings.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <string>

#include "platform/profile/profile.h"

namespace lumora::conduit {

ConduitSettings& settings() {
  static ConduitSettings s;
  return s;
}

void loadSettings(ConduitSettings& s) {
  profile::getString(kIniSection, kKeySyncDir, kDefaultSyncDir, s.syncFolder, kPathCapacity,
                     kIniFile);
  profile::getString(kIniSection, kKeyFontDir, kDefaultFontDir, s.fontFolder, kPathCapacity,
                     kIniFile);
  // Each limit is cut to the width of its field, as the record holds it.
  s.acceptedCapabilities.density =
      static_cast<uint16_t>(profile::getInt(kIniSection, kKeyDensity, 144, kIniFile));
  s.acceptedCapabilities.depth =
      static_cast<uint8_t>(profile::getInt(kIniSection, kKeyDepth, 16, kIniFile));
  s.acceptedCapabilities.compression =
      static_cast<uint8_t>(profile::getInt(kIniSection, kKeyCompression, 1, kIniFile));
  s.photos = profile::getInt(kIniSection, kKeyPhotos, 0, kIniFile) != 0;
  s.fitToDevice = profile::getInt(kIniSection, kKeyFitToDevice, 0, kIniFile) != 0;
  s.dither = profile::getInt(kIniSection, kKeyDither, 0, kIniFile) != 0;
  // A key that is absent or not a number of MiB gives the default margin, never none.
  char margin[16] = {};
  profile::getString(kIniSection, kKeyFreeSpaceMargin, "", margin, sizeof margin, kIniFile);
  uint32_t mb = 0;
  const char* end = margin + std::strlen(margin);
  auto [at, ec] = std::from_chars(margin, end, mb);
  s.freeSpaceMarginMb =
      margin[0] && ec == std::errc() && at == end ? std::optional(mb) : std::nullopt;
}

bool storeSetting(std::string_view key, std::string_view value) {
  return profile::writeString(kIniSection, key, value, kIniFile);
}

bool storeSetting(std::string_view key, unsigned int value) {
  return storeSetting(key, std::to_string(value));
}

}  // namespace lumora::conduit
