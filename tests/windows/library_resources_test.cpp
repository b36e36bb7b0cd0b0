// The built conduit library under Windows: its exports are found by name, and its resources
// agree with the tables the dialog logic uses everywhere else.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "conduit/resources/action_dialog_template.h"
#include "conduit/resources/bitmaps.h"
#include "conduit/resources/strings.h"

namespace lumora {
namespace {

class ConduitLibrary : public ::testing::Test {
 protected:
  void SetUp() override {
    module_ = ::LoadLibraryA(LUMORA_LUMSYNC_DLL);
    ASSERT_NE(module_, nullptr) << LUMORA_LUMSYNC_DLL;
  }
  void TearDown() override {
    if (module_) ::FreeLibrary(module_);
  }
  HMODULE module_ = nullptr;
};

TEST_F(ConduitLibrary, EveryExportIsFoundByItsPlainName) {
  for (const char* name :
       {"OpenConduit", "GetConduitName", "GetConduitVersion", "ConfigureConduit", "GetConduitInfo",
        "CfgConduit", "DllRegisterServer", "DllUnregisterServer"})
    EXPECT_NE(::GetProcAddress(module_, name), nullptr) << name;
}

TEST_F(ConduitLibrary, StringResourcesMatchTheStringTable) {
  for (const auto& entry : conduit::stringTable()) {
    char text[256] = {};
    int n = ::LoadStringA(module_, entry.id, text, sizeof text);
    EXPECT_EQ(std::string(text, n > 0 ? n : 0), entry.text) << entry.id;
  }
}

TEST_F(ConduitLibrary, ActionBitmapsMatchTheEmbeddedFiles) {
  for (uint32_t id : {103u, 104u, 105u, 106u}) {
    HRSRC found = ::FindResourceA(module_, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(2));
    ASSERT_NE(found, nullptr) << id;
    DWORD size = ::SizeofResource(module_, found);
    auto* bytes = static_cast<const uint8_t*>(::LockResource(::LoadResource(module_, found)));
    auto embedded = conduit::bitmapResource(id);
    ASSERT_TRUE(embedded.has_value()) << id;
    // A bitmap resource is the .bmp file without its 14-byte file header.
    ASSERT_EQ(size + 14, embedded->size()) << id;
    EXPECT_TRUE(std::equal(bytes, bytes + size, embedded->begin() + 14)) << id;
  }
}

TEST_F(ConduitLibrary, DialogTemplate101IsThere) {
  HRSRC found = ::FindResourceA(module_, MAKEINTRESOURCEA(101), MAKEINTRESOURCEA(5));
  ASSERT_NE(found, nullptr);
  auto* bytes = static_cast<const uint8_t*>(::LockResource(::LoadResource(module_, found)));
  ASSERT_GE(::SizeofResource(module_, found), 26u);
  // An extended template starts with version 1 and signature 0xFFFF; then help id,
  // extended style, style, the number of controls.
  EXPECT_EQ(bytes[0] | bytes[1] << 8, 1);
  EXPECT_EQ(bytes[2] | bytes[3] << 8, 0xFFFF);
  EXPECT_EQ(bytes[16] | bytes[17] << 8, 31);
}

// Reads an extended dialog template (DLGTEMPLATEEX and its DLGITEMTEMPLATEEX entries).
class TemplateReader {
 public:
  TemplateReader(const uint8_t* bytes, size_t size) : bytes_(bytes), size_(size) {}
  bool ok() const { return ok_; }
  size_t at() const { return at_; }
  void seek(size_t at) { at_ = at; }
  void align4() { at_ = (at_ + 3) & ~size_t{3}; }
  uint16_t word() {
    if (at_ + 2 > size_) {
      ok_ = false;
      return 0;
    }
    uint16_t v = static_cast<uint16_t>(bytes_[at_] | bytes_[at_ + 1] << 8);
    at_ += 2;
    return v;
  }
  uint32_t dword() {
    uint32_t low = word();
    return low | uint32_t{word()} << 16;
  }
  // A string, or an ordinal as "#N"; ASCII only.
  std::string text() {
    uint16_t first = word();
    if (first == 0xFFFF) return "#" + std::to_string(word());
    std::string out;
    for (uint16_t c = first; ok_ && c != 0; c = word()) out += static_cast<char>(c);
    return out;
  }

 private:
  const uint8_t* bytes_;
  size_t size_;
  size_t at_ = 0;
  bool ok_ = true;
};

struct ResourceControl {
  int id;
  std::string windowClass, text;
  uint32_t style;
  int x, y, cx, cy;
};

// The class and style a control of the portable template needs in the resource.
std::string classOf(ui::ControlKind kind) {
  switch (kind) {
    case ui::ControlKind::editBox:
      return "edit";
    case ui::ControlKind::staticText:
    case ui::ControlKind::picture:
      return "static";
    default:
      return "button";
  }
}

uint32_t typeOf(ui::ControlKind kind) {
  switch (kind) {
    case ui::ControlKind::pushButton:
      return BS_PUSHBUTTON;
    case ui::ControlKind::defPushButton:
      return BS_DEFPUSHBUTTON;
    case ui::ControlKind::radioButton:
      return BS_RADIOBUTTON;
    case ui::ControlKind::autoCheckBox:
      return BS_AUTOCHECKBOX;
    case ui::ControlKind::groupBox:
      return BS_GROUPBOX;
    case ui::ControlKind::staticText:
      return SS_LEFT;
    case ui::ControlKind::editBox:
      return ES_LEFT;
    case ui::ControlKind::picture:
      return SS_BITMAP;
  }
  return 0;
}

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(::tolower(static_cast<unsigned char>(c)));
  return s;
}

// Template 101 of the library and the template every other front end draws, control by
// control: one layout, whichever toolkit shows it.
TEST_F(ConduitLibrary, DialogTemplate101AgreesWithThePortableTemplate) {
  HRSRC found = ::FindResourceA(module_, MAKEINTRESOURCEA(101), MAKEINTRESOURCEA(5));
  ASSERT_NE(found, nullptr);
  TemplateReader r(static_cast<const uint8_t*>(::LockResource(::LoadResource(module_, found))),
                   ::SizeofResource(module_, found));
  const ui::DialogTemplate& expected = conduit::configDialogTemplate();
  r.seek(12);
  const uint32_t dialogStyle = r.dword();
  const uint16_t count = r.word();
  r.word();  // x
  r.word();  // y
  EXPECT_EQ(r.word(), expected.cx);
  EXPECT_EQ(r.word(), expected.cy);
  EXPECT_EQ(r.text(), "");  // no menu
  EXPECT_EQ(r.text(), "");  // the dialog class
  EXPECT_EQ(r.text(), expected.caption);
  ASSERT_TRUE(dialogStyle & DS_SETFONT);
  EXPECT_EQ(r.word(), expected.pointSize);
  r.word();  // weight
  r.word();  // italic, character set
  EXPECT_EQ(r.text(), expected.fontName);
  ASSERT_EQ(count, expected.controls.size());

  for (const ui::ControlTemplate& want : expected.controls) {
    r.align4();
    r.dword();  // help id
    r.dword();  // extended style
    ResourceControl got{};
    got.style = r.dword();
    got.x = static_cast<int16_t>(r.word());
    got.y = static_cast<int16_t>(r.word());
    got.cx = static_cast<int16_t>(r.word());
    got.cy = static_cast<int16_t>(r.word());
    got.id = static_cast<int32_t>(r.dword());
    got.windowClass = r.text();
    got.text = r.text();
    const uint16_t extra = r.word();
    r.seek(r.at() + extra);
    ASSERT_TRUE(r.ok()) << "template ends early at control " << want.id;

    SCOPED_TRACE("control " + std::to_string(want.id) + " \"" + want.text + "\"");
    EXPECT_EQ(got.id, want.id);
    const std::string cls = lower(got.windowClass);
    const std::string wantClass = classOf(want.kind);
    // Known classes are stored as atoms: 0x80 button, 0x81 edit, 0x82 static.
    EXPECT_TRUE(cls == wantClass || cls == (wantClass == "button" ? "#128"
                                            : wantClass == "edit" ? "#129"
                                                                  : "#130"))
        << got.windowClass;
    const uint32_t typeMask = want.kind == ui::ControlKind::editBox ? 0x3u : 0x1Fu;
    EXPECT_EQ(got.style & typeMask, typeOf(want.kind));
    const std::string wantText = want.kind == ui::ControlKind::picture
                                     ? "#" + std::to_string(want.resource)
                                     : std::string(want.text);
    EXPECT_EQ(got.text, wantText);
    EXPECT_EQ(got.x, want.x);
    EXPECT_EQ(got.y, want.y);
    EXPECT_EQ(got.cx, want.cx);
    EXPECT_EQ(got.cy, want.cy);
    EXPECT_EQ((got.style & WS_GROUP) != 0, (want.style & ui::kWsGroup) != 0);
    EXPECT_EQ((got.style & WS_TABSTOP) != 0, (want.style & ui::kWsTabStop) != 0);
    EXPECT_EQ((got.style & WS_BORDER) != 0, (want.style & ui::kWsBorder) != 0);
    if (want.kind == ui::ControlKind::editBox) {
      EXPECT_EQ((got.style & ES_AUTOHSCROLL) != 0, (want.style & ui::kEsAutoHScroll) != 0);
    }
    EXPECT_TRUE(got.style & WS_VISIBLE);
  }
}

}  // namespace
}  // namespace lumora
