// One modal dialog on the display: the template's controls as FLTK widgets at absolute
// positions, and the keyboard of a dialog (Tab order, arrows in a group, Enter, Esc, F1,
// mnemonics).
#pragma once

#include <FL/Fl_Double_Window.H>
#include <FL/Fl_RGB_Image.H>
#include <FL/Fl_Widget.H>

#include <memory>
#include <string>
#include <vector>

#include "platform/ui/dialog_template.h"
#include "platform/ui/mapped_bitmap.h"
#include "platform/ui/toolkit.h"

namespace lumora::ui::fltk {

// FLTK reads '@' in a label as a symbol; doubled, it is shown as it is.
std::string labelText(std::string_view text);

// A picture control: draws its bitmap unscaled at its top-left corner.
class PictureWidget : public Fl_Widget {
 public:
  PictureWidget(int x, int y, int w, int h) : Fl_Widget(x, y, w, h) {}
  void setBitmap(const MappedBitmap* bitmap);
  void draw() override;

 private:
  std::vector<uint8_t> rgb_;
  std::unique_ptr<Fl_RGB_Image> image_;
};

class DialogWindow : public Fl_Double_Window {
 public:
  struct Item {
    const ControlTemplate* source;
    Fl_Widget* widget;  // owned by the window
    std::string text;
    ImageId image = 0;
  };

  DialogWindow(const DialogTemplate& t, DialogUnits units, int fontPixels, DialogProc proc);

  Item* find(int id);
  // Delivers an event to the dialog procedure.
  void send(const DialogEvent& event);
  void command(int id) { send({DialogMessage::command, id, nullptr}); }
  void setText(Item& item, std::string_view text);
  // After show(): the first tab stop gets the focus when the procedure asked for it,
  // otherwise the window itself holds it until the user moves it.
  void startFocus(bool firstTabStop);

  bool ended = false;
  intptr_t result = 0;

  int handle(int event) override;

 private:
  bool takesFocus(size_t index) const;
  bool isTabStop(size_t index) const;
  // The checked radio button of the group around index, or index itself.
  size_t groupTarget(size_t index) const;
  std::optional<size_t> focusIndex() const;
  void moveTab(int direction);
  void moveInGroup(int direction);
  void focusItem(size_t index);
  int defaultButton() const;
  int handleKey();

  DialogProc proc_;
  std::vector<Item> items_;
  bool initialFocus_ = false;
};

}  // namespace lumora::ui::fltk
