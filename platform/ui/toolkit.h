// The user-interface operations the conduit needs, behind one replaceable table, so the
// logic runs the same against a real toolkit, a console and a scripted test toolkit.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/bytes.h"
#include "platform/ui/dialog_template.h"

namespace lumora::ui {

using Window = void*;  // opaque owner window; nullptr for none

enum : uint32_t { kMbOk = 0x0 };
enum : int { kIdOk = 1, kIdCancel = 2 };

// The open-file dialog request in the shape the font selection fills it.
struct OpenFileRequest {
  Window owner = nullptr;
  char* fileBuffer = nullptr;  // selection buffer, Explorer-style multi-selection layout
  uint32_t fileBufferSize = 0;
  std::string_view filter;  // pairs of description and pattern, '\0'-separated
  std::string_view initialDir;
  uint32_t flags = 0;
};

// What a dialog procedure is told. control is the command's control id; param is the
// dialogBox parameter for initDialog.
enum class DialogMessage { initDialog, command, help, sysColorChange };
struct DialogEvent {
  DialogMessage message;
  int control = 0;
  void* param = nullptr;
};
// Returns true when it handled the event; for initDialog, true asks the toolkit to put
// the keyboard focus on the first tab stop.
using DialogProc = bool (*)(Window dialog, const DialogEvent& event);

using Rgb = uint32_t;  // 0xRRGGBB
constexpr Rgb rgb(uint8_t r, uint8_t g, uint8_t b) {
  return (uint32_t{r} << 16) | (uint32_t{g} << 8) | b;
}
enum class SysColor { buttonFace };

using ImageId = uint32_t;  // 0 is no image
inline constexpr uint32_t kBifReturnFsAncestors = 0x8;
inline constexpr uint32_t kHelpContext = 1;

class Toolkit {
 public:
  virtual ~Toolkit() = default;
  // MessageBoxA: returns the button pressed (kIdOk for an OK-only box).
  virtual int messageBox(Window owner, std::string_view text, std::string_view caption,
                         uint32_t flags) = 0;
  // GetOpenFileNameA: true when a selection was made and stored in the request's buffer.
  virtual bool getOpenFileName(OpenFileRequest& request) = 0;
  // CommDlgExtendedError for the last dialog.
  virtual uint32_t commDlgExtendedError() = 0;

  // Modal dialogs. The defaults stand for a toolkit that cannot show one: dialogBox
  // answers -1 and the control operations do nothing.

  // DialogBoxParamA: runs the dialog until endDialog; returns its end code, -1 when no
  // dialog could be shown.
  virtual intptr_t dialogBox(const DialogTemplate&, Window /*owner*/, DialogProc, void*) {
    return -1;
  }
  virtual void endDialog(Window /*dialog*/, intptr_t /*result*/) {}
  virtual void setWindowText(Window /*dialog*/, std::string_view) {}
  virtual void setItemText(Window /*dialog*/, int /*id*/, std::string_view) {}
  // The whole text of a control, however long.
  virtual std::string getItemText(Window /*dialog*/, int /*id*/) { return {}; }
  virtual void checkButton(Window /*dialog*/, int /*id*/, bool /*checked*/) {}
  virtual bool isButtonChecked(Window /*dialog*/, int /*id*/) { return false; }
  // Checks id and unchecks the others of first..last (ids in between).
  virtual void checkRadioButton(Window dialog, int first, int last, int id) {
    for (int i = first; i <= last; ++i) checkButton(dialog, i, i == id);
  }
  virtual void enableItem(Window /*dialog*/, int /*id*/, bool /*enabled*/) {}

  virtual Rgb sysColor(SysColor) { return rgb(192, 192, 192); }
  // CreateMappedBitmap: an image of the .bmp file with the colour from shown as to.
  // 0 when the bytes are no bitmap the toolkit can show.
  virtual ImageId createMappedBitmap(ByteView /*bmpFile*/, Rgb /*from*/, Rgb /*to*/) { return 0; }
  // STM_SETIMAGE: gives image to a picture control; returns the image it held before,
  // which the caller deletes.
  virtual ImageId setItemImage(Window /*dialog*/, int /*id*/, ImageId /*image*/) { return 0; }
  virtual void deleteImage(ImageId) {}

  // The shell folder browser: the chosen folder's file-system path ("" for a folder that
  // has none), nullopt when cancelled.
  virtual std::optional<std::string> browseForFolder(Window /*owner*/, std::string_view /*title*/,
                                                     uint32_t /*flags*/) {
    return std::nullopt;
  }
  // GetForegroundWindow: the window the user works in, which owns the dialog.
  virtual Window foregroundWindow() { return nullptr; }
  // WinHelpA: shows the help file at a context; false when it cannot.
  virtual bool winHelp(Window /*owner*/, std::string_view /*helpFile*/, uint32_t /*command*/,
                       uint32_t /*data*/) {
    return false;
  }
};

// The toolkit in use; the default one is the headless front end (message boxes on
// standard error, dialogs played from $LUMORA_DIALOG_SCRIPT, file dialogs cancelled).
Toolkit& toolkit();
Toolkit* setToolkit(Toolkit* t);
// The toolkit installed with setToolkit, nullptr when the default is in use.
Toolkit* installedToolkit();

}  // namespace lumora::ui
