// The LUMORA_* variables through which tests steer the HotSync programs: read here and
// nowhere else, then handed to the code they steer. Each is read when asked, so a test that
// sets one in its own process is seen. Empty text: not set.
#pragma once

#include <cstdlib>
#include <string>

namespace lumora::hooks {

inline constexpr const char* kHandheldTime = "LUMORA_HANDHELD_TIME";
inline constexpr const char* kHotSyncFaults = "LUMORA_HOTSYNC_FAULTS";
inline constexpr const char* kDlpCount = "LUMORA_DLP_COUNT";
inline constexpr const char* kHandheldPause = "LUMORA_HANDHELD_PAUSE";
inline constexpr const char* kLinkTimeoutMs = "LUMORA_LINK_TIMEOUT_MS";
inline constexpr const char* kHandheldHangUp = "LUMORA_HANDHELD_HANG_UP";
inline constexpr const char* kLibraryPath = "LUMORA_LIBRARY_PATH";

inline std::string hookText(const char* variable) {
  const char* text = std::getenv(variable);
  return text ? text : "";
}

// Seconds since 1970 that stand for "now" on the handheld, so that runs compare.
inline std::string handheldTime() {
  return hookText(kHandheldTime);
}
// Faults to inject into the Sync Manager's operations (Op:nth:code[:throw], ...).
inline std::string hotSyncFaults() {
  return hookText(kHotSyncFaults);
}
// Anything but 0: lumora-handheld counts the DLP requests of a HotSync.
inline std::string dlpCount() {
  return hookText(kDlpCount);
}
// N:MS: lumora-handheld pauses MS milliseconds after answering N requests.
inline std::string handheldPause() {
  return hookText(kHandheldPause);
}
// 1: lumora-handheld leaves without answering EndOfSync.
inline std::string handheldHangUp() {
  return hookText(kHandheldHangUp);
}
// Milliseconds that replace the 30 s wait for the handheld.
inline std::string linkTimeoutMs() {
  return hookText(kLinkTimeoutMs);
}
// Folders looked in first for a library named by its Windows file name (':'-separated,
// ';' on Windows); also how a user points the programs at a build folder.
inline std::string librarySearchList() {
  return hookText(kLibraryPath);
}

}  // namespace lumora::hooks
