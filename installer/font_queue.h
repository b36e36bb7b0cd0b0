// Queueing installed TrueType fonts for a HotSync user, found through the font registry.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "fonts/installer_converter.h"

namespace lumora::installer {

struct Style {
  uint8_t bit;
  std::string_view suffix;
};

// In the order the styles are queued.
inline constexpr std::array<Style, 4> kStyles{{
    {0x01, ""},
    {0x02, " Bold"},
    {0x04, " Bold Italic"},
    {0x08, " Italic"},
}};

extern const std::array<std::string_view, 12> kSomeFaces;

// Queues the styles of face set in the low byte of styles, regular first. The first failure
// ends the walk; a set bit beyond the four styles ends it quietly. Values that are not
// plain strings are passed over. The result is that of the failure, if any.
fonts::installer::Status queueTtf(std::string_view userName, std::string_view face, uint32_t styles,
                                  fonts::QueueFileFn queue = &::PltInstallFile);

// Queues the twelve faces of kSomeFaces in order, up to the first failure.
fonts::installer::Status queueSomeTtfs(std::string_view userName,
                                       fonts::QueueFileFn queue = &::PltInstallFile);

}  // namespace lumora::installer
