// The "Change HotSync Action" dialog: its procedure handles initialisation, the control
// commands, help and the system colour change, against the toolkit seam.
#include <atomic>
#include <cstring>
#include <string>

#include "common/bytes.h"
#include "conduit/config_dialog.h"
#include "conduit/dialog/config_record.h"
#include "conduit/dialog/dialog_procedure.h"
#include "conduit/library_entry.h"
#include "conduit/resources/action_dialog_template.h"
#include "conduit/resources/bitmaps.h"
#include "conduit/resources/strings.h"
#include "conduit/settings.h"
#include "platform/files/files.h"
#include "platform/ui/front_end.h"
#include "platform/ui/module_path.h"

#if LUMORA_HAVE_FONT_SELECTION
#include "fonts/font_selection.h"
#endif

namespace lumora::conduit {
namespace {

constexpr size_t kStringCapacity = 256;
constexpr std::string_view kFolderPattern = "\\*.*";
constexpr size_t kMinPatternLength = 7;  // a typed path of at least 3 characters

// The configuration record of the open dialog, from initialisation to its end.
uint8_t* gRecord = nullptr;

struct ActionBitmap {
  uint32_t bitmap;
  int control;
};
constexpr ActionBitmap kActionBitmaps[] = {
    {kBmpSync, kIdSyncBitmap},
    {kBmpDesktopToHandheld, kIdDesktopBitmap},
    {kBmpHandheldToDesktop, kIdHandheldBitmap},
    {kBmpNothing, kIdNothingBitmap},
};
// The images last given to the picture controls; released when the dialog has closed.
ui::ImageId gActionImages[std::size(kActionBitmaps)] = {};

void defaultFontSelection(ui::Window owner, std::string_view userName,
                          char (&fontFolder)[kPathCapacity]) {
#if LUMORA_HAVE_FONT_SELECTION
  fonts::pickAndQueueFonts(owner, userName, fontFolder);
#else
  (void)userName;
  (void)fontFolder;
  ui::toolkit().messageBox(owner, "Font selection is not part of this build.", "", ui::kMbOk);
#endif
}

FontSelectionFn gFontSelection = &defaultFontSelection;

std::string stringResource(uint32_t id) {
  char text[kStringCapacity];
  int n = loadString(id, text, sizeof text);
  return std::string(text, n > 0 ? static_cast<size_t>(n) : 0);
}

std::string fieldText(const char (&field)[kPathCapacity]) {
  return std::string(field, strnlen(field, kPathCapacity));
}

// Copies text into a 260-byte settings field; false (field untouched) when it does not fit.
bool copyToField(std::string_view text, char (&field)[kPathCapacity]) {
  if (text.size() >= kPathCapacity) return false;
  std::memcpy(field, text.data(), text.size());
  field[text.size()] = '\0';
  return true;
}

// wsprintf of the one "%s" of a string resource.
std::string formatted(std::string_view format, std::string_view arg) {
  std::string out(format);
  if (size_t at = out.find("%s"); at != std::string::npos) out.replace(at, 2, arg);
  return out;
}

void loadActionBitmaps(ui::Window dialog) {
  ui::Toolkit& tk = ui::toolkit();
  const ui::Rgb face = tk.sysColor(ui::SysColor::buttonFace);
  for (size_t i = 0; i < std::size(kActionBitmaps); ++i) {
    auto bytes = bitmapResource(kActionBitmaps[i].bitmap);
    ui::ImageId image = bytes ? tk.createMappedBitmap(*bytes, kLightGrey, face) : 0;
    ui::ImageId previous = tk.setItemImage(dialog, kActionBitmaps[i].control, image);
    if (previous) tk.deleteImage(previous);
    // The control's previous image is gone; keep only the new one for the final release.
    if (gActionImages[i] && gActionImages[i] != previous) tk.deleteImage(gActionImages[i]);
    gActionImages[i] = image;
  }
}

void releaseActionBitmaps() {
  for (ui::ImageId& image : gActionImages) {
    if (image) ui::toolkit().deleteImage(image);
    image = 0;
  }
}

void onInitDialog(ui::Window dialog, uint8_t* rec) {
  ui::Toolkit& tk = ui::toolkit();
  ConduitSettings& s = settings();
  tk.setItemText(dialog, kIdActionGroup, stringResource(kStrActionGroup));
  tk.setItemText(dialog, kIdSyncFolder, fieldText(s.syncFolder));
  tk.setItemText(dialog, kIdFontFolder, fieldText(s.fontFolder));
  tk.setWindowText(dialog, stringResource(kStrDisplayName));

  const DeviceCapabilities& caps = s.acceptedCapabilities;
  tk.checkButton(dialog, kIdDoubleDensity, caps.density == 144);
  tk.checkButton(dialog, kId16Bit, caps.depth == 16);
  tk.checkButton(dialog, kIdCompressed, caps.compression == 1);

  loadActionBitmaps(dialog);
  gRecord = rec;

  const SyncAction next = actionOf(loadLe32(rec + record::kNextSyncType));
  tk.checkRadioButton(dialog, kIdSyncFiles, kIdDoNothing, next.radioId);
  if (loadLe32(rec + record::kIdentifier) != 0) {
    tk.setItemText(dialog, kIdNextAction, stringResource(next.stringId));
    const SyncAction def = actionOf(loadLe32(rec + record::kDefaultSyncType));
    tk.setItemText(dialog, kIdDefaultAction, stringResource(def.stringId));
    tk.setItemText(dialog, kIdCurrentSettings,
                   formatted(stringResource(kStrCurrentSettings), record::userName(rec)));
  }
}

// Set Folder and the fonts-folder command: the shell's folder browser. A path that does
// not fit a settings field counts as no file-system path, as on a system whose paths
// stop at 259 characters.
std::optional<std::string> browse(ui::Window dialog, std::string_view title) {
  auto path = ui::toolkit().browseForFolder(dialog, title, ui::kBifReturnFsAncestors);
  if (!path || path->empty() || path->size() >= kPathCapacity) return std::nullopt;
  return path;
}

void onSetFolder(ui::Window dialog) {
  ConduitSettings& s = settings();
  if (auto path = browse(dialog, "Select sync folder")) copyToField(*path, s.syncFolder);
  storeSetting(kKeySyncDir, fieldText(s.syncFolder));
  ui::toolkit().setItemText(dialog, kIdSyncFolder, fieldText(s.syncFolder));
}

void onSetFontFolder(ui::Window dialog) {
  if (auto path = browse(dialog, "Select fonts folder")) {
    ui::toolkit().setItemText(dialog, kIdFontFolder, *path);
    storeSetting(kKeyFontDir, *path);
  }
}

void onOk(ui::Window dialog) {
  ui::Toolkit& tk = ui::toolkit();
  if (gRecord) {
    uint32_t chosen = tk.isButtonChecked(dialog, kIdSyncFiles)            ? 0
                      : tk.isButtonChecked(dialog, kIdDesktopOverwrites)  ? 3
                      : tk.isButtonChecked(dialog, kIdHandheldOverwrites) ? 2
                                                                          : 6;
    uint32_t scope = tk.isButtonChecked(dialog, kIdSetAsDefault) ? record::kScopeDefaultAndNext
                                                                 : record::kScopeNextOnly;
    storeLe32(gRecord + record::kChosenSyncType, chosen);
    storeLe32(gRecord + record::kChoiceScope, scope);
  }

  // A folder is valid when "<typed>\*.*" finds an entry. A typed path longer than the
  // settings field holds is refused rather than cut.
  const std::string typed = tk.getItemText(dialog, kIdSyncFolder);
  const std::string pattern = typed + std::string(kFolderPattern);
  const bool valid = typed.size() < kPathCapacity && pattern.size() >= kMinPatternLength &&
                     !files::fileSystem().find(pattern).empty();
  if (!valid) {
    tk.messageBox(dialog, "Please enter a valid path!", "Invalid path", ui::kMbOk);
    return;
  }
  copyToField(typed, settings().syncFolder);
  storeSetting(kKeySyncDir, typed);
  tk.endDialog(dialog, 0);
}

void onBitmapOption(ui::Window dialog, int id) {
  const bool on = ui::toolkit().isButtonChecked(dialog, id);
  DeviceCapabilities& caps = settings().acceptedCapabilities;
  switch (id) {
    case kId16Bit:
      caps.depth = on ? 16 : 8;
      storeSetting(kKeyDepth, caps.depth);
      break;
    case kIdDoubleDensity:
      caps.density = on ? 144 : 72;
      storeSetting(kKeyDensity, caps.density);
      break;
    case kIdCompressed:
      caps.compression = on ? 1 : 0;
      storeSetting(kKeyCompression, caps.compression);
      break;
  }
}

void onHelp(ui::Window dialog) {
  auto file = helpFilePath(ui::moduleFileName(moduleHandle()));
  if (file) ui::toolkit().winHelp(dialog, *file, ui::kHelpContext, kHelpContextId);
}

void onCommand(ui::Window dialog, int id) {
  switch (id) {
    case kIdSyncFiles:
    case kIdDesktopOverwrites:
    case kIdHandheldOverwrites:
    case kIdDoNothing:
      ui::toolkit().checkRadioButton(dialog, kIdSyncFiles, kIdDoNothing, id);
      break;
    case kId16Bit:
    case kIdDoubleDensity:
    case kIdCompressed:
      onBitmapOption(dialog, id);
      break;
    case kIdSetFolder:
      onSetFolder(dialog);
      break;
    case kIdOk:
      onOk(dialog);
      break;
    case kIdCancel:
      ui::toolkit().endDialog(dialog, 1);
      break;
    case kIdHelp:
      onHelp(dialog);
      break;
    case kIdFonts:
      if (gRecord) gFontSelection(dialog, record::userName(gRecord), settings().fontFolder);
      break;
    case kIdSetFontFolder:
      onSetFontFolder(dialog);
      break;
    default:
      break;
  }
}

}  // namespace

std::string record::userName(const uint8_t* rec) {
  const char* name = reinterpret_cast<const char*>(rec + kUserName);
  return std::string(name, strnlen(name, kUserNameSize - 1));
}

SyncAction actionOf(uint32_t syncType) {
  switch (syncType) {
    case 0:
    case 1:
      return {kStrSyncFiles, kIdSyncFiles};
    case 2:
      return {kStrHandheldOverwrites, kIdHandheldOverwrites};
    case 3:
      return {kStrDesktopOverwrites, kIdDesktopOverwrites};
    default:
      return {kStrDoNothing, kIdDoNothing};
  }
}

std::optional<std::string> helpFilePath(std::string_view modulePath) {
  size_t cut = modulePath.find_last_of("\\/");
  if (cut == std::string_view::npos || cut == 0) return std::nullopt;
  return std::string(modulePath.substr(0, cut + 1)) + kHelpFileName;
}

FontSelectionFn setFontSelection(FontSelectionFn fn) {
  FontSelectionFn previous = gFontSelection;
  gFontSelection = fn ? fn : &defaultFontSelection;
  return previous;
}

uint8_t* openConfigRecord() {
  return gRecord;
}

bool configDialogProc(ui::Window dialog, const ui::DialogEvent& event) {
  switch (event.message) {
    case ui::DialogMessage::initDialog:
      onInitDialog(dialog, static_cast<uint8_t*>(event.param));
      return false;  // the focus is left where the system puts it
    case ui::DialogMessage::command:
      onCommand(dialog, event.control);
      return true;
    case ui::DialogMessage::help:
      onHelp(dialog);
      return true;
    case ui::DialogMessage::sysColorChange:
      loadActionBitmaps(dialog);
      return true;
  }
  return false;
}

void runConfigDialog(uint8_t* rec, ui::Window owner) {
  if (!rec) return;
  // One dialog at a time: its record and images are the library's. A second request while
  // it is open (from the open dialog's message loop or another thread) changes nothing.
  static std::atomic<bool> open{false};
  if (open.exchange(true)) return;
  // Clears the flag even when the front end cannot be set up.
  struct Open {
    ~Open() { open = false; }
  } opened;
  ui::FrontEndScope frontEnd;  // a window when a display is available, else headless
  // Ends the dialog's state however the dialog was left, with the toolkit that made it.
  struct DialogEnd {
    ~DialogEnd() {
      gRecord = nullptr;
      releaseActionBitmaps();
    }
  } end;
  ui::Toolkit& tk = ui::toolkit();
  tk.dialogBox(configDialogTemplate(), owner ? owner : tk.foregroundWindow(), &configDialogProc,
               rec);
}

}  // namespace lumora::conduit
