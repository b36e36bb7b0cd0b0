// How each converter variant names the database and its output file.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "fonts/font_database.h"

namespace lumora::fonts {

// The conduit's title buffer holds 100 characters with the terminator.
inline constexpr size_t kTitleCapacity = 100;

// The file title as the file-title service gives it with extensions shown: the name after
// the last "\", "/" or drive colon, cut to kTitleCapacity - 1 characters.
std::string fileTitle(std::string_view path);

// Conduit database name: the title; over 32 characters, its first 28 and ".ttf".
std::string conduitDatabaseName(std::string_view title);

// Installer base name: the part after the last "\" or "/".
std::string_view baseName(std::string_view path);

// Installer name field: the base name's first 32 characters for a base name of 1 to 33
// characters; nullopt for other lengths.
std::optional<NameField> installerNameField(std::string_view base);

// The name zero-padded into the 32-byte field (a 32-character name has no terminator).
NameField nameField(std::string_view name);

// The name stored in a field, up to its first zero byte.
std::string nameOf(const NameField& field);

}  // namespace lumora::fonts
