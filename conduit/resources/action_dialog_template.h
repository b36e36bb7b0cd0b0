// Dialog template 101, "Change HotSync Action", and the ids of its controls.
#pragma once

#include "platform/ui/dialog_template.h"

namespace lumora::conduit {

inline constexpr int kDialogTemplateId = 101;

enum ControlId : int {
  kIdOk = 1,
  kIdCancel = 2,
  kIdHelp = 9,
  kIdActionGroup = 403,
  kIdSyncFiles = 404,
  kIdDesktopOverwrites = 405,
  kIdHandheldOverwrites = 406,
  kIdDoNothing = 407,
  kIdSetAsDefault = 411,
  kIdSyncBitmap = 1000,
  kIdDesktopBitmap = 1001,
  kIdHandheldBitmap = 1002,
  kIdNothingBitmap = 1003,
  kIdDefaultAction = 1004,
  kIdNextAction = 1005,
  kIdCurrentSettings = 1006,
  kIdSetFolder = 1008,
  kIdSyncFolder = 1010,
  kIdFontFolder = 1011,
  kId16Bit = 1012,
  kIdDoubleDensity = 1013,
  kIdCompressed = 1014,
  kIdFonts = 1015,
  kIdSetFontFolder = 1016,
};

const ui::DialogTemplate& configDialogTemplate();

}  // namespace lumora::conduit
