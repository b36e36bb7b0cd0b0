// One HotSync of the conduit: the transfers chosen by the sync type, the closing log line
// and the removal of the handheld font database.
#pragma once

#include <cstdint>
#include <optional>

namespace lumora::conduit {

enum SyncType : uint32_t {
  kSyncFiles = 0,
  kHandheldOverwritesDesktop = 2,
  kDesktopOverwritesHandheld = 3,
  kDoNothing = 6,
};

inline constexpr const char* kSuccessLine = "Lumora: sync operation completed successfully.";
inline constexpr const char* kDoNothingLine = "LmDx configured to do nothing.";
inline constexpr const char* kCaughtErrorFormat = "Quillet: error %ld.";
inline constexpr const char* kFontDatabase = "TTFonts_DB";

// Runs the HotSync for syncType; without one (no sync properties) nothing but the removal
// of the font database, as for a sync type the conduit does not act on. An int32_t thrown
// by anything it calls is logged and ends the HotSync; other exceptions pass.
void runSync(std::optional<uint32_t> syncType);

}  // namespace lumora::conduit
