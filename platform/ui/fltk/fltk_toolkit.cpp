#include "platform/ui/fltk/fltk_toolkit.h"

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Native_File_Chooser.H>
#include <FL/fl_ask.H>
#include <FL/fl_draw.H>
#include <FL/x.H>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xresource.h>
#include <dlfcn.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/files/paths.h"
#include "platform/ui/fltk/dialog_window.h"
#include "platform/ui/help.h"
#include "platform/ui/mapped_bitmap.h"

namespace lumora::ui::fltk {
namespace {

constexpr uint32_t kOfnAllowMultiSelect = 0x200;
constexpr uint32_t kCdErrDialogFailure = 0xFFFF;
constexpr uint32_t kFnErrBufferTooSmall = 0x3003;

// "*.TTF" matches "font.ttf" too, as the system's file dialogs match names.
std::string caseFolded(std::string_view pattern) {
  std::string out;
  for (char c : pattern) {
    if (std::isalpha(static_cast<unsigned char>(c))) {
      out += '[';
      out += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      out += ']';
    } else {
      out += c;
    }
  }
  return out;
}

// "Desc\0Pattern\0..." as FLTK's "Desc\tPattern\n..." filter.
std::string chooserFilter(std::string_view pairs) {
  std::string out;
  while (!pairs.empty()) {
    size_t a = pairs.find('\0');
    std::string_view desc = pairs.substr(0, a);
    if (desc.empty() || a == std::string_view::npos) break;
    pairs.remove_prefix(a + 1);
    size_t b = pairs.find('\0');
    std::string_view pattern = pairs.substr(0, b);
    pairs.remove_prefix(b == std::string_view::npos ? pairs.size() : b + 1);
    if (!out.empty()) out += '\n';
    out += std::string(desc) + '\t' + caseFolded(pattern);
  }
  return out;
}

class FltkToolkit final : public Toolkit {
 public:
  int messageBox(Window, std::string_view text, std::string_view caption, uint32_t) override {
    const char* previous = fl_close;
    fl_close = "OK";
    fl_message_title(std::string(caption).c_str());
    fl_message("%s", std::string(text).c_str());
    fl_close = previous;
    return kIdOk;
  }

  bool getOpenFileName(OpenFileRequest& r) override {
    lastError_ = 0;
    Fl_Native_File_Chooser chooser((r.flags & kOfnAllowMultiSelect)
                                       ? Fl_Native_File_Chooser::BROWSE_MULTI_FILE
                                       : Fl_Native_File_Chooser::BROWSE_FILE);
    std::string filter = chooserFilter(r.filter);
    if (!filter.empty()) chooser.filter(filter.c_str());
    std::string dir = r.initialDir.empty() ? std::string() : paths::toHostPath(r.initialDir);
    if (!dir.empty()) chooser.directory(dir.c_str());
    int shown = chooser.show();
    if (shown != 0) {
      if (shown < 0) lastError_ = kCdErrDialogFailure;
      return false;
    }
    std::vector<std::string> picked;
    for (int i = 0; i < chooser.count(); ++i)
      if (const char* f = chooser.filename(i)) picked.emplace_back(f);
    if (picked.empty()) return false;
    // The Explorer layout: one full path, or the folder and then each name.
    std::vector<std::string> parts;
    if (picked.size() == 1) {
      parts.push_back(picked[0]);
    } else {
      std::string folder = picked[0].substr(0, picked[0].rfind('/'));
      parts.push_back(folder.empty() ? "/" : folder);
      for (const std::string& p : picked) parts.push_back(p.substr(p.rfind('/') + 1));
    }
    size_t need = 1;
    for (const std::string& p : parts) need += p.size() + 1;
    if (!r.fileBuffer || need > r.fileBufferSize) {
      lastError_ = kFnErrBufferTooSmall;
      return false;
    }
    char* out = r.fileBuffer;
    for (const std::string& p : parts) {
      std::memcpy(out, p.c_str(), p.size() + 1);
      out += p.size() + 1;
    }
    *out = '\0';
    return true;
  }

  uint32_t commDlgExtendedError() override { return lastError_; }

  intptr_t dialogBox(const DialogTemplate& t, Window owner, DialogProc proc, void* param) override {
    if (!proc || !openDisplay()) return -1;
    const int px = fontPixels(t.pointSize);
    // Colour changes are watched only while a dialog is open, so no handler of this
    // module outlives it in FLTK when the module is unloaded.
    struct ColourWatch {
      explicit ColourWatch(FltkToolkit* tk) : tk_(tk) {
        if (tk_->watching_++ == 0) Fl::add_system_handler(&FltkToolkit::onSystemEvent, tk_);
      }
      ~ColourWatch() {
        if (--tk_->watching_ == 0) Fl::remove_system_handler(&FltkToolkit::onSystemEvent);
      }
      FltkToolkit* tk_;
    } watch(this);
    auto window = std::make_unique<DialogWindow>(t, dialogUnits(t.pointSize), px, proc);
    open_.push_back(window.get());
    const bool focusFirst = proc(window.get(), {DialogMessage::initDialog, 0, param});
    if (auto* parent = dialog(owner)) {
      window->position(parent->x() + (parent->w() - window->w()) / 2,
                       parent->y() + (parent->h() - window->h()) / 2);
    } else {
      window->position((Fl::w() - window->w()) / 2, (Fl::h() - window->h()) / 2);
    }
    window->set_modal();
    window->show();
    window->startFocus(focusFirst);
    while (!window->ended && window->shown()) Fl::wait();
    const intptr_t result = window->ended ? window->result : intptr_t{kIdCancel};
    window->hide();
    open_.erase(std::find(open_.begin(), open_.end(), window.get()));
    window.reset();
    Fl::flush();
    return result;
  }

  void endDialog(Window w, intptr_t result) override {
    if (DialogWindow* d = dialog(w)) {
      d->ended = true;
      d->result = result;
    }
  }

  void setWindowText(Window w, std::string_view text) override {
    if (DialogWindow* d = dialog(w)) d->copy_label(labelText(text).c_str());
  }

  void setItemText(Window w, int id, std::string_view text) override {
    if (auto [d, item] = lookup(w, id); item) d->setText(*item, text);
  }

  std::string getItemText(Window w, int id) override {
    auto [d, item] = lookup(w, id);
    if (!item) return {};
    if (item->source->kind == ControlKind::editBox) {
      const char* v = static_cast<Fl_Input*>(item->widget)->value();
      return v ? v : "";
    }
    return item->text;
  }

  void checkButton(Window w, int id, bool checked) override {
    if (auto [d, item] = lookup(w, id); item && isButton(*item))
      static_cast<Fl_Button*>(item->widget)->value(checked ? 1 : 0);
  }

  bool isButtonChecked(Window w, int id) override {
    auto [d, item] = lookup(w, id);
    return item && isButton(*item) && static_cast<Fl_Button*>(item->widget)->value() != 0;
  }

  void enableItem(Window w, int id, bool enabled) override {
    if (auto [d, item] = lookup(w, id); item) {
      if (enabled)
        item->widget->activate();
      else
        item->widget->deactivate();
    }
  }

  Rgb sysColor(SysColor) override { return Fl::get_color(FL_BACKGROUND_COLOR) >> 8; }

  ImageId createMappedBitmap(ByteView bmp, Rgb from, Rgb to) override {
    auto image = decodeMappedBitmap(bmp, from, to);
    return image ? images_.add(std::move(*image)) : 0;
  }

  ImageId setItemImage(Window w, int id, ImageId image) override {
    auto [d, item] = lookup(w, id);
    if (!item || item->source->kind != ControlKind::picture) return 0;
    ImageId previous = item->image;
    item->image = image;
    static_cast<PictureWidget*>(item->widget)->setBitmap(images_.get(image));
    return previous;
  }

  void deleteImage(ImageId image) override { images_.remove(image); }

  std::optional<std::string> browseForFolder(Window, std::string_view title, uint32_t) override {
    Fl_Native_File_Chooser chooser(Fl_Native_File_Chooser::BROWSE_DIRECTORY);
    std::string t(title);
    chooser.title(t.c_str());
    if (chooser.show() != 0) return std::nullopt;
    const char* path = chooser.filename();
    return std::string(path ? path : "");
  }

  bool winHelp(Window, std::string_view helpFile, uint32_t, uint32_t data) override {
    return openHelpPage(helpFile, data);
  }

 private:
  DialogWindow* dialog(Window w) {
    auto it = std::find(open_.begin(), open_.end(), static_cast<DialogWindow*>(w));
    return it == open_.end() ? nullptr : *it;
  }
  std::pair<DialogWindow*, DialogWindow::Item*> lookup(Window w, int id) {
    DialogWindow* d = dialog(w);
    return {d, d ? d->find(id) : nullptr};
  }
  static bool isButton(const DialogWindow::Item& item) {
    switch (item.source->kind) {
      case ControlKind::pushButton:
      case ControlKind::defPushButton:
      case ControlKind::radioButton:
      case ControlKind::autoCheckBox:
        return true;
      default:
        return false;
    }
  }

  // A desktop changes its colours by replacing the X resources on the root window; the
  // new background becomes the button face and every open dialog hears of it.
  static int onSystemEvent(void* event, void* self) {
    auto* e = static_cast<XEvent*>(event);
    if (e->type != PropertyNotify || e->xproperty.atom != XA_RESOURCE_MANAGER ||
        e->xproperty.window != RootWindow(fl_display, fl_screen))
      return 0;
    static_cast<FltkToolkit*>(self)->systemColorsChanged();
    return 0;
  }

  void systemColorsChanged() {
    if (auto color = resourceBackground()) {
      Fl::background(static_cast<uchar>(*color >> 16), static_cast<uchar>(*color >> 8),
                     static_cast<uchar>(*color));
    }
    for (DialogWindow* d : std::vector<DialogWindow*>(open_)) {
      d->send({DialogMessage::sysColorChange, 0, nullptr});
      d->redraw();
    }
  }

  static std::optional<Rgb> resourceBackground() {
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(fl_display, RootWindow(fl_display, fl_screen), XA_RESOURCE_MANAGER, 0,
                           1 << 16, False, XA_STRING, &type, &format, &count, &after,
                           &data) != Success ||
        !data)
      return std::nullopt;
    std::string text(reinterpret_cast<char*>(data), count);
    XFree(data);
    XrmDatabase db = XrmGetStringDatabase(text.c_str());
    if (!db) return std::nullopt;
    std::optional<Rgb> result;
    char* kind = nullptr;
    XrmValue value{};
    if (XrmGetResource(db, "fltk.background", "Fltk.Background", &kind, &value) && value.addr) {
      XColor c{};
      Colormap map = DefaultColormap(fl_display, fl_screen);
      if (XParseColor(fl_display, map, value.addr, &c))
        result = rgb(static_cast<uint8_t>(c.red >> 8), static_cast<uint8_t>(c.green >> 8),
                     static_cast<uint8_t>(c.blue >> 8));
    }
    XrmDestroyDatabase(db);
    return result;
  }

  std::vector<DialogWindow*> open_;
  int watching_ = 0;
  ImageStore images_;
  uint32_t lastError_ = 0;
};

// FLTK keeps what its static initialisers allocate for as long as it is loaded. Held
// loaded for the life of the process, a host that unloads the conduit (and with it the
// last reference to FLTK) neither leaks that nor leaves FLTK half torn down.
__attribute__((constructor)) void keepFltkLoaded() {
  // A variable of FLTK's, not a function: a function's address may be a stub in this
  // module, which must stay unloadable.
  Dl_info fltk{}, self{};
  if (!dladdr(static_cast<const void*>(&fl_display), &fltk) || !fltk.dli_fname ||
      !dladdr(reinterpret_cast<const void*>(&keepFltkLoaded), &self) ||
      fltk.dli_fbase == self.dli_fbase)
    return;
  dlopen(fltk.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
}

}  // namespace

bool openDisplay() {
  static int state = 0;  // 1 open, -1 none
  if (state == 0 && fl_display) {
    state = 1;  // FLTK is on a display already (another module of the process opened it)
  } else if (state == 0) {
    const char* name = std::getenv("DISPLAY");
    Display* display = name && *name ? XOpenDisplay(nullptr) : nullptr;
    if (!display) {
      state = -1;
    } else {
      // FLTK ends the process when it cannot open a display itself; hand it a good one.
      fl_open_display(display);
      ::Window root = RootWindow(display, fl_screen);
      XWindowAttributes attributes{};
      XGetWindowAttributes(display, root, &attributes);
      XSelectInput(display, root, attributes.your_event_mask | PropertyChangeMask);
      state = 1;
    }
  }
  return state > 0;
}

Toolkit& toolkit() {
  static FltkToolkit fltk;
  return fltk;
}

int fontPixels(int pointSize) {
  // Points at 96 pixels per inch, as the template's font is sized on the system.
  return std::max(1, (pointSize * 96 + 36) / 72);
}

DialogUnits dialogUnits(int pointSize) {
  fl_font(FL_HELVETICA, fontPixels(pointSize));
  const int width =
      static_cast<int>(fl_width("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") + 0.5);
  return {averageCharWidth(width), fl_height()};
}

}  // namespace lumora::ui::fltk
