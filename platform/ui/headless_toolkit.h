// The front end without a window: a dialog runs against a DialogModel and plays a script
// of user actions, message boxes go to standard error. It lets the conduit be configured
// over a plain terminal and tests drive the dialog procedure.
#pragma once

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/dialog_model.h"
#include "platform/ui/mapped_bitmap.h"
#include "platform/ui/toolkit.h"

namespace lumora::ui {

// The script a headless dialog plays when none was given to the toolkit.
inline constexpr const char* kDialogScriptVariable = "LUMORA_DIALOG_SCRIPT";

// One line of a script:
//   click ID          the user clicks control ID (a check box toggles first)
//   check ID on|off   clicks the check box only when its state differs
//   type ID TEXT      replaces the text of an edit box (TEXT runs to the end of the line)
//   help              F1
//   colors RRGGBB     the system's button-face colour changes to hex RRGGBB
//   close             the close box
//   browse PATH       answers the next folder browser with PATH ("browse" alone: cancel;
//                     browse "": a folder without a file-system path)
//   open PATH         answers the next open-file dialog with one file ("open" alone: cancel)
// Blank lines and lines starting with '#' are skipped. When the script ends with the
// dialog still open, the close box is used.
struct ScriptStep {
  enum class Kind { click, check, type, help, colors, close, browse, open };
  Kind kind = Kind::click;
  int id = 0;
  bool on = false;
  std::optional<std::string> text;  // type, browse and open; nullopt: cancel
  Rgb color = 0;
};

struct ParsedScript {
  std::vector<ScriptStep> steps;
  std::string error;  // "line N: ..." when the script is wrong
};

ParsedScript parseDialogScript(std::string_view text);

class HeadlessToolkit : public Toolkit {
 public:
  HeadlessToolkit() = default;  // reads $LUMORA_DIALOG_SCRIPT at every dialogBox
  explicit HeadlessToolkit(std::string script) : script_(std::move(script)) {}
  void setScript(std::string script) { script_ = std::move(script); }

  int messageBox(Window owner, std::string_view text, std::string_view caption,
                 uint32_t flags) override;
  bool getOpenFileName(OpenFileRequest& request) override;
  uint32_t commDlgExtendedError() override { return lastError_; }

  intptr_t dialogBox(const DialogTemplate& t, Window owner, DialogProc proc, void* param) override;
  void endDialog(Window dialog, intptr_t result) override;
  void setWindowText(Window dialog, std::string_view text) override;
  void setItemText(Window dialog, int id, std::string_view text) override;
  std::string getItemText(Window dialog, int id) override;
  void checkButton(Window dialog, int id, bool checked) override;
  bool isButtonChecked(Window dialog, int id) override;
  void enableItem(Window dialog, int id, bool enabled) override;
  Rgb sysColor(SysColor) override { return buttonFace_; }
  ImageId createMappedBitmap(ByteView bmpFile, Rgb from, Rgb to) override;
  ImageId setItemImage(Window dialog, int id, ImageId image) override;
  void deleteImage(ImageId image) override { images_.remove(image); }
  std::optional<std::string> browseForFolder(Window owner, std::string_view title,
                                             uint32_t flags) override;
  bool winHelp(Window owner, std::string_view helpFile, uint32_t command, uint32_t data) override;

  // The open dialog, or the last one after it closed.
  const DialogModel* dialog() const { return dialog_.get(); }
  const ImageStore& images() const { return images_; }
  // The problem of the last script, empty when it was fine.
  const std::string& scriptError() const { return scriptError_; }

 protected:
  // Where message boxes and notes go (standard error).
  virtual void report(std::string_view line);

 private:
  DialogModel* model(Window w) { return w && w == open_ ? open_ : nullptr; }
  void play(const ScriptStep& step, Window dialog, DialogProc proc);

  std::optional<std::string> script_;
  std::string scriptError_;
  std::unique_ptr<DialogModel> dialog_;
  DialogModel* open_ = nullptr;
  ImageStore images_;
  Rgb buttonFace_ = rgb(192, 192, 192);
  std::deque<std::optional<std::string>> folderAnswers_;
  std::deque<std::optional<std::string>> fileAnswers_;
  uint32_t lastError_ = 0;
};

}  // namespace lumora::ui
