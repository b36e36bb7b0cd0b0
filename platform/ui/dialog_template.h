// A dialog template as data: the window and its controls in dialog units, in template
// order, which is also the tab order.
#pragma once

#include <cstdint>
#include <span>

namespace lumora::ui {

enum class ControlKind {
  pushButton,
  defPushButton,  // the button Enter presses
  radioButton,    // plain: the dialog procedure checks it
  autoCheckBox,   // toggles itself, then sends its command
  groupBox,
  staticText,
  editBox,
  picture,  // a bitmap set by the dialog procedure
};

// Style flags the toolkits honour.
enum : uint32_t {
  kWsGroup = 0x1,       // starts a group (arrow keys move within it)
  kWsTabStop = 0x2,     // Tab stops here
  kWsBorder = 0x4,      // edit box with a border
  kEsAutoHScroll = 0x8  // edit box scrolls horizontally
};

inline constexpr int kNoId = -1;  // a control nobody addresses

struct ControlTemplate {
  int id;
  ControlKind kind;
  const char* text;  // '&' marks the mnemonic
  int x, y, cx, cy;  // dialog units
  uint32_t style = 0;
  uint32_t resource = 0;  // bitmap of a picture control
};

struct DialogTemplate {
  const char* caption;
  int cx, cy;  // dialog units
  const char* fontName;
  int pointSize;
  std::span<const ControlTemplate> controls;

  const ControlTemplate* control(int id) const {
    if (id == kNoId) return nullptr;
    for (const ControlTemplate& c : controls)
      if (c.id == id) return &c;
    return nullptr;
  }
};

// Pixels of dialog units for a font's average character width and height, as Windows
// converts them (MulDiv, rounded to the nearest pixel).
struct DialogUnits {
  int baseX = 4;
  int baseY = 8;
  int x(int du) const { return (du * baseX + 2) / 4; }
  int y(int du) const { return (du * baseY + 4) / 8; }
};

// The average character width Windows derives from the width of "A..Za..z".
constexpr int averageCharWidth(int widthOf52Letters) {
  return (widthOf52Letters / 26 + 1) / 2;
}

}  // namespace lumora::ui
