// The Windows profile functions the settings rely on. A file name without a folder
// refers to the Windows folder (paths::windowsFolder()); other names are Windows path
// text mapped by the files seam.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace lumora::profile {

// GetPrivateProfileStringA: copies the value (or fallback when the file, section or key is
// missing) into buffer, cut to capacity - 1 characters and terminated; returns the number
// of characters copied. A capacity of 0 copies nothing.
size_t getString(std::string_view section, std::string_view key, std::string_view fallback,
                 char* buffer, size_t capacity, std::string_view fileName);

// GetPrivateProfileIntA: the value read as a decimal number (see ini::parseInteger);
// fallback when the file, section or key is missing or the value is empty.
unsigned int getInt(std::string_view section, std::string_view key, int fallback,
                    std::string_view fileName);

// WritePrivateProfileStringA: creates the file and section as needed, replaces the key in
// place, keeps every other line. The file is replaced atomically. False on failure.
bool writeString(std::string_view section, std::string_view key, std::string_view value,
                 std::string_view fileName);

// The host path of a profile file name.
std::string profilePath(std::string_view fileName);

}  // namespace lumora::profile
