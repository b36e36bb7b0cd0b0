// The profile (ini) file format as the Windows profile functions read and write it,
// on text in memory so that it can be tested and fuzzed without files.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace lumora::ini {

// The value of key in section (names compared case-insensitively, surrounding blanks
// ignored); surrounding blanks and one pair of enclosing double quotes are removed.
// nullopt when the section or key is absent.
std::optional<std::string> lookup(std::string_view text, std::string_view section,
                                  std::string_view key);

// text with key in section set to value: an existing key line is replaced where it stands,
// a missing key is added at the end of its section, a missing section at the end of the
// text. Every other line (comments included) is kept byte for byte.
std::string withValue(std::string_view text, std::string_view section, std::string_view key,
                      std::string_view value);

// True when a section of that name (compared case-insensitively) is present.
bool hasSection(std::string_view text, std::string_view section);

// text without every section of that name: its header line and its lines up to the next
// section header. Every other line is kept byte for byte.
std::string withoutSection(std::string_view text, std::string_view section);

// GetPrivateProfileInt's number reading: optional blanks and sign, then leading decimal
// digits (wrapping like a 32-bit unsigned value); no digit gives 0.
unsigned int parseInteger(std::string_view value);

}  // namespace lumora::ini
