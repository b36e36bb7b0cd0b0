// The "Change HotSync Action" dialog, shown modally by CfgConduit.
#pragma once

#include <cstdint>
#include <string>

#include "conduit/resources/action_dialog_template.h"

#include "platform/ui/toolkit.h"

namespace lumora::conduit {

inline constexpr uint32_t kConfigRecordSize = 352;

// Shows the dialog for the 352-byte configuration record (little-endian fields) and
// returns when it has closed; the chosen action is written into the record on OK. The
// dialog's owner is owner, else the foreground window. While a dialog is open, another
// call returns at once and leaves its record alone.
void runConfigDialog(uint8_t* record, ui::Window owner);

// Lines of a headless dialog script (ui::kDialogScriptVariable) that make changes in the
// dialog as a user would, for programs that run it without one.
namespace dialog_script {

enum class BitmapOption { depth16, doubleDensity, compressed };

inline std::string setBitmapOption(BitmapOption option, bool on) {
  const int id = option == BitmapOption::depth16         ? kId16Bit
                 : option == BitmapOption::doubleDensity ? kIdDoubleDensity
                                                         : kIdCompressed;
  return "check " + std::to_string(id) + (on ? " on" : " off");
}
inline std::string typeSyncFolder(const std::string& path) {
  return "type " + std::to_string(kIdSyncFolder) + " " + path;
}
// Sync type 0 (synchronize), 3 (desktop overwrites), 2 (handheld overwrites), else nothing.
inline std::string chooseAction(uint32_t syncType) {
  const int id = syncType == 0   ? kIdSyncFiles
                 : syncType == 3 ? kIdDesktopOverwrites
                 : syncType == 2 ? kIdHandheldOverwrites
                                 : kIdDoNothing;
  return "click " + std::to_string(id);
}
inline std::string setAsDefault(bool on) {
  return "check " + std::to_string(kIdSetAsDefault) + (on ? " on" : " off");
}
inline std::string ok() {
  return "click " + std::to_string(kIdOk);
}
inline std::string cancel() {
  return "click " + std::to_string(kIdCancel);
}

}  // namespace dialog_script

}  // namespace lumora::conduit
