#include "conduit/resources/action_dialog_template.h"

namespace lumora::conduit {
namespace {

using K = ui::ControlKind;
constexpr uint32_t kGroup = ui::kWsGroup;
constexpr uint32_t kTab = ui::kWsTabStop;
constexpr uint32_t kEdit = ui::kWsBorder | ui::kEsAutoHScroll | ui::kWsTabStop;

// Template order is tab order. The last group ("Handheld Fonts") is this product's
// place for the font folder and the font command; the dialog is taller for it.
constexpr ui::ControlTemplate kControls[] = {
    {kIdSyncFiles, K::radioButton, "&Synchronize the files", 74, 180, 79, 10, kGroup | kTab},
    {kIdDesktopOverwrites, K::radioButton, "&Desktop overwrites handheld", 74, 200, 108, 10},
    {kIdHandheldOverwrites, K::radioButton, "&Handheld overwrites desktop", 74, 222, 108, 10},
    {kIdDoNothing, K::radioButton, "Do &nothing", 74, 243, 48, 10},
    {kIdSetAsDefault, K::autoCheckBox, "Set &as Default", 192, 180, 58, 10, kTab},
    {kIdOk, K::defPushButton, "OK", 197, 76, 50, 14, kTab},
    {kIdCancel, K::pushButton, "Cancel", 197, 92, 50, 14, kTab},
    {kIdHelp, K::pushButton, "Help", 197, 126, 50, 14, kTab},
    {kIdActionGroup, K::groupBox, "<Conduit Name HotSync Action Place Holder>", 9, 161, 244, 114,
     kGroup},
    {kIdSyncBitmap, K::picture, "", 22, 175, 32, 15, 0, 103},
    {kIdDesktopBitmap, K::picture, "", 22, 197, 32, 15, 0, 104},
    {kIdHandheldBitmap, K::picture, "", 22, 219, 32, 15, 0, 105},
    {kIdNothingBitmap, K::picture, "", 22, 239, 32, 15, 0, 106},
    {kIdCurrentSettings, K::groupBox, "<User's Current Settings Place Holder>", 10, 12, 242, 44},
    {ui::kNoId, K::staticText, "Default HotSync Action:", 16, 27, 77, 8},
    {kIdDefaultAction, K::staticText, "Static", 105, 27, 131, 8},
    {ui::kNoId, K::staticText, "Next HotSync Action:", 16, 40, 77, 8},
    {kIdNextAction, K::staticText, "Static", 105, 40, 131, 8},
    {kIdSetFolder, K::pushButton, "Set Folder", 197, 109, 50, 14, kTab},
    {ui::kNoId, K::staticText, "Sync Folder:", 14, 78, 40, 8},
    {kIdSyncFolder, K::editBox, "", 63, 76, 121, 14, kEdit},
    {kId16Bit, K::autoCheckBox, "Download 16-bit bitmaps to handheld", 17, 100, 133, 10, kTab},
    {kIdDoubleDensity, K::autoCheckBox, "Download double density bitmaps to handheld", 17, 114, 161,
     10, kTab},
    {kIdCompressed, K::autoCheckBox, "Download compressed bitmaps to handheld", 17, 126, 160, 13,
     kTab},
    {ui::kNoId, K::groupBox, "Synchronization Settings", 10, 59, 242, 98},
    {ui::kNoId, K::groupBox, "Handheld Fonts", 9, 279, 244, 42, kGroup},
    {ui::kNoId, K::staticText, "Font Folder:", 16, 292, 42, 8},
    {kIdFontFolder, K::staticText, "", 60, 292, 130, 8},
    {kIdSetFontFolder, K::pushButton, "F&older...", 197, 289, 50, 14, kTab},
    {ui::kNoId, K::staticText, "TrueType fonts for the handheld:", 16, 308, 130, 8},
    {kIdFonts, K::pushButton, "&Fonts...", 197, 305, 50, 14, kTab},
};

constexpr ui::DialogTemplate kTemplate{
    "Change HotSync Action", 262, 328, "MS Sans Serif", 8, kControls,
};

}  // namespace

const ui::DialogTemplate& configDialogTemplate() {
  return kTemplate;
}

}  // namespace lumora::conduit
