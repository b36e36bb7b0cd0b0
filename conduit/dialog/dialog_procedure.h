// The dialog procedure of the "Change HotSync Action" dialog and the pieces it is made
// of, open to the tests.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "conduit/settings.h"
#include "platform/ui/toolkit.h"

namespace lumora::conduit {

inline constexpr uint32_t kHelpContextId = 131471;
inline constexpr const char* kHelpFileName = "hotsync.html";
inline constexpr ui::Rgb kLightGrey = ui::rgb(192, 192, 192);

bool configDialogProc(ui::Window dialog, const ui::DialogEvent& event);

// The record of the open dialog (nullptr when none is open).
uint8_t* openConfigRecord();

// The text and radio button that stand for a sync type.
struct SyncAction {
  uint32_t stringId;
  int radioId;
};
SyncAction actionOf(uint32_t syncType);

// The help page beside the module: the path cut after its last separator ('\' or '/';
// one in the first position does not count) and the page's name appended. nullopt when
// the path has no such separator.
std::optional<std::string> helpFilePath(std::string_view modulePath);

// The font selection the font command calls, replaceable by tests. Returns the previous.
using FontSelectionFn = void (*)(ui::Window owner, std::string_view userName,
                                 char (&fontFolder)[kPathCapacity]);
FontSelectionFn setFontSelection(FontSelectionFn fn);

}  // namespace lumora::conduit
