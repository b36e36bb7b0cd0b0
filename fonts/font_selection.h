// The conduit's font command: pick TrueType files in the open-file dialog and convert and
// queue each for the HotSync user.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "common/win32_values.h"
#include "fonts/install_aide.h"
#include "platform/ui/toolkit.h"

namespace lumora::fonts {

inline constexpr size_t kSelectionSize = 3000;
inline constexpr uint32_t kFontDialogFlags = 0x80208;  // explorer, multi-select, keep cwd
inline constexpr uint32_t kBufferTooSmall = 0x3003;
inline constexpr char kFontFolderDefault[] = "c:\\program files\\tarnwell\\lumdex";

// Calls onPath with the full path of each file of an Explorer-style selection: one full
// path, or a folder followed by names. Paths longer than kPathCapacity - 1 characters go to
// onTooLong instead. Never reads past the buffer.
void walkSelection(std::span<const char> selection,
                   const std::function<void(const std::string&)>& onPath,
                   const std::function<void(const std::string&)>& onTooLong);

// Refreshes fontFolder from "Lumdex.ini", runs the dialog from there and converts every
// picked file with the conduit converter.
void pickAndQueueFonts(ui::Window owner, std::string_view userName,
                       char (&fontFolder)[kPathCapacity], QueueFileFn queue = &::PltInstallFile);

}  // namespace lumora::fonts
