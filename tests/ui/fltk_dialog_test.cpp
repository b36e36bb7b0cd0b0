// The real dialog on an X display (run under xvfb-run): driven by key events from a timer,
// checked through the ini file, the record and the pixels on screen.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <vector>

#include "common/bytes.h"
#include "conduit/config_dialog.h"
#include "conduit/dialog/config_record.h"
#include "conduit/dialog/dialog_procedure.h"
#include "conduit/settings.h"
#include "platform/profile/profile.h"
#include "platform/ui/fltk/fltk_toolkit.h"
#include "platform/ui/front_end.h"
#include "tests/support/temp_dir.h"

// X last: its macros clash with the test framework's names.
#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>
#include <FL/x.H>
#include <X11/Xatom.h>

namespace lumora {
namespace {

namespace fs = std::filesystem;
using conduit::kConfigRecordSize;
namespace record = conduit::record;

constexpr uint32_t kUntouched = 0xAAAAAAAA;

// Plays steps one after another from a timer while the dialog's loop runs.
class Driver {
 public:
  void then(std::function<void()> step) { steps_.push_back(std::move(step)); }
  void start() { Fl::add_timeout(0.3, &Driver::tick, this); }
  ~Driver() { Fl::remove_timeout(&Driver::tick, this); }
  size_t played() const { return next_; }

 private:
  static void tick(void* self) {
    auto* d = static_cast<Driver*>(self);
    if (d->next_ >= d->steps_.size()) return;
    // Armed before the step runs: a step may open a nested loop (a message box) that
    // the following steps close.
    Fl::repeat_timeout(0.05, &Driver::tick, self);
    d->steps_[d->next_++]();
  }
  std::vector<std::function<void()>> steps_;
  size_t next_ = 0;
};

// The window that has the keyboard: the newest one shown.
Fl_Window* activeWindow() {
  return Fl::first_window();
}

void key(int keysym, int state = 0, const char* text = "") {
  static char buffer[16];
  std::strncpy(buffer, text, sizeof buffer - 1);
  Fl::e_keysym = Fl::e_original_keysym = keysym;
  Fl::e_state = state;
  Fl::e_text = buffer;
  Fl::e_length = static_cast<int>(std::strlen(buffer));
  if (Fl_Window* w = activeWindow()) Fl::handle(FL_KEYBOARD, w);
}
void tab(int times = 1) {
  for (int i = 0; i < times; ++i) key(FL_Tab);
}
void alt(char letter) {
  const char text[2] = {letter, 0};
  key(letter, FL_ALT, text);
}
void type(const std::string& text) {
  for (char c : text) {
    const char one[2] = {c, 0};
    key(static_cast<unsigned char>(c), 0, one);
  }
}

struct Screenshot {
  int w = 0, h = 0;
  std::vector<uint8_t> rgb;
  ui::Rgb at(int x, int y) const {
    const uint8_t* p = &rgb[(static_cast<size_t>(y) * w + x) * 3];
    return ui::rgb(p[0], p[1], p[2]);
  }
};

Screenshot capture(Fl_Window* w) {
  Fl::flush();
  w->make_current();
  Screenshot shot;
  shot.w = w->w();
  shot.h = w->h();
  shot.rgb.resize(static_cast<size_t>(shot.w) * shot.h * 3);
  fl_read_image(shot.rgb.data(), 0, 0, shot.w, shot.h);
  return shot;
}

// A 24-bit .bmp of the screenshot.
void saveBmp(const Screenshot& s, const std::string& path) {
  const uint32_t stride = (static_cast<uint32_t>(s.w) * 3 + 3) & ~3u;
  const uint32_t pixels = stride * static_cast<uint32_t>(s.h);
  Bytes out;
  out.push_back('B');
  out.push_back('M');
  appendLe32(out, 54 + pixels);
  appendLe32(out, 0);
  appendLe32(out, 54);
  appendLe32(out, 40);
  appendLe32(out, static_cast<uint32_t>(s.w));
  appendLe32(out, static_cast<uint32_t>(s.h));
  appendLe16(out, 1);
  appendLe16(out, 24);
  for (uint32_t v : {0u, pixels, 2835u, 2835u, 0u, 0u}) appendLe32(out, v);
  for (int y = s.h - 1; y >= 0; --y) {
    for (int x = 0; x < s.w; ++x) {
      const ui::Rgb c = s.at(x, y);
      out.push_back(static_cast<uint8_t>(c));
      out.push_back(static_cast<uint8_t>(c >> 8));
      out.push_back(static_cast<uint8_t>(c >> 16));
    }
    out.resize(out.size() + (stride - static_cast<uint32_t>(s.w) * 3), 0);
  }
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
}

class FltkDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(ui::fltk::openDisplay()) << "no X display: run under xvfb-run";
    fs::create_directories(dir.file("windows"));
    fs::create_directories(dir.file("c/Lumdex"));
    test::writeText(dir.file("windows/Lumdex.ini"), "[Lumdex]\r\nSyncDir=C:\\Lumdex\r\n");
    conduit::loadSettings(conduit::settings());
    rec.assign(kConfigRecordSize, 0);
    storeLe32(&rec[record::kVersion], 1);
    storeLe32(&rec[record::kIdentifier], 1);
    std::memcpy(&rec[record::kUserName], "Alice", 5);
    storeLe32(&rec[record::kDefaultSyncType], 0);
    storeLe32(&rec[record::kNextSyncType], 3);
    storeLe32(&rec[record::kChosenSyncType], kUntouched);
    storeLe32(&rec[record::kChoiceScope], kUntouched);
  }

  // Runs the dialog as CfgConduit does; the driver must close it.
  void run() {
    ASSERT_EQ(ui::chooseFrontEnd(), ui::FrontEnd::window);
    driver.start();
    conduit::runConfigDialog(rec.data(), nullptr);
  }
  std::string iniValue(const char* key) {
    char value[300];
    profile::getString(conduit::kIniSection, key, "<absent>", value, sizeof value,
                       conduit::kIniFile);
    return value;
  }
  uint32_t field(size_t at) const { return loadLe32(&rec[at]); }

  test::TempDir dir;
  test::ScopedEnv windows{"LUMORA_WINDOWS_DIR", dir.file("windows")};
  test::ScopedEnv driveC{"LUMORA_DRIVE_C", dir.file("c")};
  std::vector<uint8_t> rec;
  Driver driver;
};

TEST_F(FltkDialog, KeyboardToggles16BitTabsToOkAndPressesEnter) {
  Screenshot shot;
  // From no focus: radio group, Set as Default, OK, Cancel, Help, Set Folder, the edit
  // box, then the 16-bit check box.
  driver.then([] { tab(8); });
  driver.then([] { key(' ', 0, " "); });
  driver.then([&] {
    shot = capture(activeWindow());
    saveBmp(shot, std::string(LUMORA_BINARY_DIR) + "/config_dialog.bmp");
  });
  // On past the other two check boxes and the font buttons, round to OK.
  driver.then([] { tab(7); });
  driver.then([] { key(FL_Enter); });
  run();
  EXPECT_EQ(driver.played(), 5u);
  EXPECT_EQ(iniValue("AcceptedDepth"), "8");
  EXPECT_EQ(iniValue("AcceptedDensity"), "<absent>");
  EXPECT_EQ(conduit::settings().acceptedCapabilities.depth, 8);
  EXPECT_EQ(field(record::kChosenSyncType), 3u);  // the radio of nextSyncType
  EXPECT_EQ(field(record::kChoiceScope), 2u);
  EXPECT_EQ(iniValue("SyncDir"), "C:\\Lumdex");

  // The window is laid out from dialog units of the default sans font.
  const ui::DialogUnits du = ui::fltk::dialogUnits(8);
  ASSERT_EQ(shot.w, du.x(262));
  ASSERT_EQ(shot.h, du.y(328));
  // The action bitmap of 404 sits at its control's place with its light grey shown as
  // the button face, the same colour as the window around it.
  const int bx = du.x(22), by = du.y(175);
  const ui::Rgb face = ui::fltk::toolkit().sysColor(ui::SysColor::buttonFace);
  EXPECT_EQ(shot.at(bx, by), face);
  EXPECT_EQ(shot.at(bx - 2, by - 2), face);
  EXPECT_NE(shot.at(bx + 5, by + 8), face);  // the monitor's screen
}

TEST_F(FltkDialog, MnemonicsPickTheActionAndScope) {
  driver.then([] { alt('n'); });  // Do &nothing
  driver.then([] { alt('a'); });  // Set &as Default
  driver.then([] { key(FL_Enter); });
  run();
  EXPECT_EQ(field(record::kChosenSyncType), 6u);
  EXPECT_EQ(field(record::kChoiceScope), 1u);
}

TEST_F(FltkDialog, EscapeCancelsButKeepsCheckBoxChanges) {
  driver.then([] { tab(10); });  // the compressed check box
  driver.then([] { key(' ', 0, " "); });
  driver.then([] { alt('h'); });
  driver.then([] { key(FL_Escape); });
  run();
  EXPECT_EQ(iniValue("AcceptedCompression"), "0");
  EXPECT_EQ(field(record::kChosenSyncType), kUntouched);
}

TEST_F(FltkDialog, InvalidFolderShowsTheMessageAndStaysOpen) {
  driver.then([] { tab(7); });  // the edit box
  driver.then([] {
    key('a', FL_CTRL, "\x01");  // select all
    type("C:\\Nowhere");
  });
  driver.then([] { key(FL_Enter); });
  std::string boxTitle;
  driver.then([&] {
    // The message box is the active window now.
    if (Fl_Window* w = activeWindow(); w && w->label()) boxTitle = w->label();
    key(FL_Escape);
  });
  driver.then([] { alt('s'); });
  driver.then([] { key(FL_Escape); });
  run();
  EXPECT_EQ(boxTitle, "Invalid path");
  EXPECT_EQ(field(record::kChosenSyncType), 3u);  // written before the folder was checked
  EXPECT_EQ(iniValue("SyncDir"), "C:\\Lumdex");
}

TEST_F(FltkDialog, ColourChangeRemapsTheBitmaps) {
  Screenshot shot;
  driver.then([] {
    Display* d = fl_display;
    const char resources[] = "*background: #336699\n";
    XChangeProperty(d, RootWindow(d, fl_screen), XA_RESOURCE_MANAGER, XA_STRING, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(resources),
                    static_cast<int>(sizeof resources - 1));
    XFlush(d);
  });
  driver.then([] {});  // let the property notice arrive
  driver.then([&] { shot = capture(activeWindow()); });
  driver.then([] { key(FL_Escape); });
  run();
  Fl::background(192, 192, 192);
  const ui::DialogUnits du = ui::fltk::dialogUnits(8);
  ASSERT_GT(shot.w, 0);
  EXPECT_EQ(shot.at(du.x(22), du.y(175)), ui::rgb(0x33, 0x66, 0x99));
  EXPECT_EQ(shot.at(du.x(22) - 2, du.y(175) - 2), ui::rgb(0x33, 0x66, 0x99));
}

// The conduit library as the host loads it: CfgConduit shows the window, Esc closes it,
// and the library unloads with FLTK in use.
TEST_F(FltkDialog, ConduitLibraryShowsTheWindowAndUnloads) {
  const std::string library = std::string(LUMORA_BINARY_DIR) + "/bin/liblumsync.so";
  if (!fs::exists(library)) GTEST_SKIP() << "liblumsync.so not built";
  void* handle = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(handle, nullptr) << dlerror();
  using CfgConduitFn = int32_t(int32_t, void*, uint32_t*);
  auto* cfg = reinterpret_cast<CfgConduitFn*>(dlsym(handle, "CfgConduit"));
  ASSERT_NE(cfg, nullptr);
  std::string caption;
  driver.then([&] {
    if (Fl_Window* w = activeWindow(); w && w->label()) caption = w->label();
    key(FL_Escape);
  });
  driver.start();
  uint32_t size = kConfigRecordSize;
  EXPECT_EQ(cfg(0, rec.data(), &size), 0);
  EXPECT_EQ(caption, "Lumora 2004");
  EXPECT_EQ(field(record::kChosenSyncType), kUntouched);
  EXPECT_EQ(dlclose(handle), 0);
  Fl::wait(0.1);  // the loop goes on after the library left
}

}  // namespace
}  // namespace lumora
