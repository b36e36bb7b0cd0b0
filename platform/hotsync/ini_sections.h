// Whole-section operations on profile (ini) text, beside the key operations of
// platform/profile/ini.h and with the same reading of section lines. No OS calls.
#pragma once

#include <string>
#include <string_view>

namespace lumora::hotsync {

// True when a section of that name (compared case-insensitively) is present.
bool hasSection(std::string_view text, std::string_view section);

// text without every section of that name: its header line and its lines up to the next
// section header. Every other line is kept byte for byte.
std::string withoutSection(std::string_view text, std::string_view section);

}  // namespace lumora::hotsync
