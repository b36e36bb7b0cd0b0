// The conduit's settings, process-wide as the conduit keeps them, and their store
// in "Lumdex.ini", section "Lumdex".
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "bitmap/device_capabilities.h"
#include "common/win32_values.h"

namespace lumora::conduit {

inline constexpr const char* kIniFile = "Lumdex.ini";
inline constexpr const char* kIniSection = "Lumdex";
inline constexpr const char* kKeySyncDir = "SyncDir";
inline constexpr const char* kKeyFontDir = "TTFontDirectory";
inline constexpr const char* kKeyDensity = "AcceptedDensity";
inline constexpr const char* kKeyDepth = "AcceptedDepth";
inline constexpr const char* kKeyCompression = "AcceptedCompression";
inline constexpr const char* kKeyPhotos = "Photos";
inline constexpr const char* kKeyFitToDevice = "FitToDevice";
inline constexpr const char* kKeyDither = "Dither";
inline constexpr const char* kKeyFreeSpaceMargin = "FreeSpaceMarginMB";
inline constexpr const char* kDefaultSyncDir = "C:\\Lumdex";
inline constexpr const char* kDefaultFontDir = "c:\\program files\\tarnwell\\lumdex";

struct ConduitSettings {
  char syncFolder[kPathCapacity] = {};
  char fontFolder[kPathCapacity] = {};
  DeviceCapabilities acceptedCapabilities{};  // only depth, density and compression are set
  // Opt-in picture handling, each off unless its key is a number other than 0.
  bool photos = false;       // photo files of the sync folder go to the handheld too
  bool fitToDevice = false;  // pictures too large for the handheld are scaled down
  bool dither = false;       // 8-bit pictures are dithered onto the palette
  // MiB a picture from the handheld must leave free on the sync folder's disk; nullopt:
  // 512 MiB or 5% of the disk, the smaller. 0 turns the check off.
  std::optional<uint32_t> freeSpaceMarginMb;
};

// The process-wide settings of the loaded conduit.
ConduitSettings& settings();

// Reads the five keys, in order, with their defaults, then the three opt-in keys (at every
// process attach).
void loadSettings(ConduitSettings& s);

// Writes one key of the section; integers as decimal text. The result is not checked by
// the conduit's callers.
bool storeSetting(std::string_view key, std::string_view value);
bool storeSetting(std::string_view key, unsigned int value);

}  // namespace lumora::conduit
