// Showing the help page: the counterpart of a help file at a context number is an HTML
// page opened in the desktop's browser at the anchor "context-N".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace lumora::ui {

// "file://" and the percent-encoded host path (a Windows path with forward slashes),
// then "#context-N".
std::string helpUrl(std::string_view hostPath, uint32_t context);

// Starts the desktop's opener ($LUMORA_HELP_OPENER, else xdg-open) on helpUrl without
// waiting for it. False, and nothing started, when the file cannot be read.
bool openHelpPage(std::string_view hostPath, uint32_t context);

}  // namespace lumora::ui
