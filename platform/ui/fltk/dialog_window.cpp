#include "platform/ui/fltk/dialog_window.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Round_Button.H>
#include <FL/fl_draw.H>

namespace lumora::ui::fltk {
namespace {

// A group box: an etched frame whose caption interrupts its top line.
class GroupFrame : public Fl_Widget {
 public:
  GroupFrame(int x, int y, int w, int h) : Fl_Widget(x, y, w, h) {}
  void draw() override {
    fl_font(labelfont(), labelsize());
    const int textHeight = fl_height();
    const int top = y() + textHeight / 2;
    draw_box(FL_ENGRAVED_FRAME, x(), top, w(), h() - textHeight / 2, color());
    if (!label() || !*label()) return;
    int tw = 0, th = 0;
    measure_label(tw, th);
    const int tx = x() + textHeight / 2 + 2;
    fl_color(color());
    fl_rectf(tx - 2, y(), tw + 4, textHeight);
    draw_label(tx, y(), tw, textHeight, FL_ALIGN_LEFT | FL_ALIGN_INSIDE);
  }
};

// The default push button wears a dark outline, as Enter presses it.
class DefaultButton : public Fl_Button {
 public:
  DefaultButton(int x, int y, int w, int h) : Fl_Button(x, y, w, h) {}
  void draw() override {
    Fl_Button::draw();
    fl_color(FL_FOREGROUND_COLOR);
    fl_rect(x(), y(), w(), h());
  }
};

void onWidget(Fl_Widget* w, void* data) {
  auto* window = static_cast<DialogWindow*>(w->window());
  window->command(static_cast<int>(reinterpret_cast<intptr_t>(data)));
}

void onClose(Fl_Widget* w, void*) {
  // The close box is Cancel.
  static_cast<DialogWindow*>(w)->command(kIdCancel);
}

bool isButtonKind(ControlKind k) {
  return k == ControlKind::pushButton || k == ControlKind::defPushButton ||
         k == ControlKind::radioButton || k == ControlKind::autoCheckBox;
}

}  // namespace

std::string labelText(std::string_view text) {
  std::string out;
  for (char c : text) {
    out += c;
    if (c == '@') out += '@';
  }
  return out;
}

void PictureWidget::setBitmap(const MappedBitmap* bitmap) {
  image_.reset();
  rgb_.clear();
  if (bitmap && bitmap->width > 0 && bitmap->height > 0) {
    rgb_.reserve(bitmap->pixels.size() * 3);
    for (Rgb c : bitmap->pixels) {
      rgb_.push_back(static_cast<uint8_t>(c >> 16));
      rgb_.push_back(static_cast<uint8_t>(c >> 8));
      rgb_.push_back(static_cast<uint8_t>(c));
    }
    image_ = std::make_unique<Fl_RGB_Image>(rgb_.data(), bitmap->width, bitmap->height, 3);
  }
  redraw();
}

void PictureWidget::draw() {
  if (image_) image_->draw(x(), y());
}

DialogWindow::DialogWindow(const DialogTemplate& t, DialogUnits du, int fontPixels, DialogProc proc)
    : Fl_Double_Window(du.x(t.cx), du.y(t.cy)), proc_(proc) {
  copy_label(labelText(t.caption ? t.caption : "").c_str());
  callback(onClose);
  begin();
  for (const ControlTemplate& c : t.controls) {
    const int x = du.x(c.x), y = du.y(c.y), w = du.x(c.cx), h = du.y(c.cy);
    Fl_Widget* widget = nullptr;
    switch (c.kind) {
      case ControlKind::pushButton:
        widget = new Fl_Button(x, y, w, h);
        break;
      case ControlKind::defPushButton:
        widget = new DefaultButton(x, y, w, h);
        break;
      case ControlKind::radioButton: {
        // A plain radio button: a click sends the command, the dialog procedure checks
        // it. (Not a subclass: FLTK would bind its own class information to this module
        // and keep it from unloading.)
        auto* radio = new Fl_Round_Button(x, y, w, h);
        radio->type(FL_NORMAL_BUTTON);
        widget = radio;
        break;
      }
      case ControlKind::autoCheckBox:
        widget = new Fl_Check_Button(x, y, w, h);
        break;
      case ControlKind::groupBox:
        widget = new GroupFrame(x, y, w, h);
        break;
      case ControlKind::staticText: {
        auto* box = new Fl_Box(x, y, w, h);
        box->box(FL_NO_BOX);
        // The default sans font runs a little wider than the template's font: fixed
        // labels may spill past their box rather than wrap, texts set at run time are
        // kept inside theirs.
        Fl_Align align = FL_ALIGN_LEFT | FL_ALIGN_TOP | FL_ALIGN_INSIDE;
        if (c.id != kNoId) align |= FL_ALIGN_CLIP;
        box->align(align);
        widget = box;
        break;
      }
      case ControlKind::editBox: {
        auto* input = new Fl_Input(x, y, w, h);
        input->textsize(fontPixels);
        input->textfont(FL_HELVETICA);
        input->box((c.style & kWsBorder) ? FL_DOWN_BOX : FL_FLAT_BOX);
        widget = input;
        break;
      }
      case ControlKind::picture:
        widget = new PictureWidget(x, y, w, h);
        break;
    }
    widget->labelfont(FL_HELVETICA);
    widget->labelsize(fontPixels);
    if (isButtonKind(c.kind)) {
      widget->callback(onWidget, reinterpret_cast<void*>(static_cast<intptr_t>(c.id)));
      widget->align(c.kind == ControlKind::pushButton || c.kind == ControlKind::defPushButton
                        ? FL_ALIGN_CENTER
                        : FL_ALIGN_LEFT | FL_ALIGN_INSIDE);
    } else if (c.kind != ControlKind::editBox) {
      widget->clear_visible_focus();
    }
    items_.push_back({&c, widget, c.text ? c.text : ""});
    if (c.kind == ControlKind::editBox)
      static_cast<Fl_Input*>(widget)->value(items_.back().text.c_str());
    else
      widget->copy_label(labelText(items_.back().text).c_str());
  }
  end();
}

DialogWindow::Item* DialogWindow::find(int id) {
  if (id == kNoId) return nullptr;
  for (Item& item : items_)
    if (item.source->id == id) return &item;
  return nullptr;
}

void DialogWindow::send(const DialogEvent& event) {
  if (proc_) proc_(this, event);
}

void DialogWindow::setText(Item& item, std::string_view text) {
  item.text = std::string(text);
  if (item.source->kind == ControlKind::editBox) {
    static_cast<Fl_Input*>(item.widget)->value(item.text.c_str());
  } else {
    item.widget->copy_label(labelText(item.text).c_str());
    // A shorter label leaves the old one's pixels unless the parent repaints.
    redraw();
  }
}

bool DialogWindow::takesFocus(size_t i) const {
  const Item& item = items_[i];
  return (isButtonKind(item.source->kind) || item.source->kind == ControlKind::editBox) &&
         item.widget->active_r() && item.widget->visible_r();
}

bool DialogWindow::isTabStop(size_t i) const {
  return (items_[i].source->style & kWsTabStop) && takesFocus(i);
}

size_t DialogWindow::groupTarget(size_t i) const {
  if (items_[i].source->kind != ControlKind::radioButton) return i;
  size_t start = i;
  while (start > 0 && !(items_[start].source->style & kWsGroup)) --start;
  for (size_t j = start; j < items_.size(); ++j) {
    if (j > start && (items_[j].source->style & kWsGroup)) break;
    if (items_[j].source->kind == ControlKind::radioButton &&
        static_cast<Fl_Button*>(items_[j].widget)->value() && takesFocus(j))
      return j;
  }
  return i;
}

std::optional<size_t> DialogWindow::focusIndex() const {
  for (size_t i = 0; i < items_.size(); ++i)
    if (items_[i].widget == Fl::focus()) return i;
  return std::nullopt;
}

void DialogWindow::focusItem(size_t i) {
  items_[i].widget->take_focus();
  redraw();
}

void DialogWindow::moveTab(int direction) {
  const size_t n = items_.size();
  auto current = focusIndex();
  // Without a focus, forward starts at the first control and backward at the last.
  size_t at = current ? *current : (direction > 0 ? n - 1 : 0);
  for (size_t step = 1; step <= n; ++step) {
    at = (at + (direction > 0 ? 1 : n - 1)) % n;
    if (!isTabStop(at)) continue;
    size_t target = groupTarget(at);
    if (current && target == *current) continue;
    focusItem(target);
    return;
  }
}

void DialogWindow::moveInGroup(int direction) {
  auto current = focusIndex();
  // An edit box keeps its arrows.
  if (!current || items_[*current].source->kind == ControlKind::editBox) return;
  size_t start = *current;
  while (start > 0 && !(items_[start].source->style & kWsGroup)) --start;
  size_t end = *current + 1;
  while (end < items_.size() && !(items_[end].source->style & kWsGroup)) ++end;
  const size_t size = end - start;
  size_t at = *current;
  for (size_t step = 1; step < size; ++step) {
    at = start + (at - start + (direction > 0 ? 1 : size - 1)) % size;
    if (!takesFocus(at)) continue;
    focusItem(at);
    // Arrowing onto a radio button clicks it, as the dialog manager does.
    if (items_[at].source->kind == ControlKind::radioButton) command(items_[at].source->id);
    return;
  }
}

int DialogWindow::defaultButton() const {
  for (const Item& item : items_)
    if (item.source->kind == ControlKind::defPushButton) return item.source->id;
  return kIdOk;
}

void DialogWindow::startFocus(bool firstTabStop) {
  initialFocus_ = firstTabStop;
  if (firstTabStop)
    moveTab(1);
  else
    Fl::focus(this);
}

int DialogWindow::handle(int event) {
  if (event == FL_FOCUS && !initialFocus_ && !focusIndex()) {
    // No control is given the focus until the user moves it there.
    Fl::focus(this);
    return 1;
  }
  // Keys no control took arrive here, and as shortcuts when nothing has the focus.
  if ((event == FL_KEYBOARD || event == FL_SHORTCUT) && handleKey()) return 1;
  return Fl_Double_Window::handle(event);
}

int DialogWindow::handleKey() {
  {
    const int key = Fl::event_key();
    const bool plain = !(Fl::event_state() & (FL_CTRL | FL_ALT | FL_META));
    if (key == FL_Tab && plain) {
      moveTab((Fl::event_state() & FL_SHIFT) ? -1 : 1);
      return 1;
    }
    if (key == FL_Escape) {
      command(kIdCancel);
      return 1;
    }
    if (key == FL_Enter || key == FL_KP_Enter) {
      auto current = focusIndex();
      const bool onPushButton =
          current && (items_[*current].source->kind == ControlKind::pushButton ||
                      items_[*current].source->kind == ControlKind::defPushButton);
      command(onPushButton ? items_[*current].source->id : defaultButton());
      return 1;
    }
    if (key == FL_F + 1) {
      send({DialogMessage::help, 0, nullptr});
      return 1;
    }
    if (plain && (key == FL_Up || key == FL_Left || key == FL_Down || key == FL_Right)) {
      moveInGroup(key == FL_Up || key == FL_Left ? -1 : 1);
      return 1;
    }
  }
  return 0;
}

}  // namespace lumora::ui::fltk
