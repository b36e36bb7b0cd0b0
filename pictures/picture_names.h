// The one-to-one naming of picture databases and desktop files, with the checks that keep
// an untrusted handheld name inside the sync folder.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace lumora::pictures {

// True when name + ".bmp" is a plain file name of the sync folder: not empty, not "." or
// "..", no "\", "/", ":" or control character, and not a reserved device name.
bool isSafeFileStem(std::string_view name);

// The database name of a desktop file: the file name without its last four characters,
// or nullopt when that leaves nothing or more than 31 characters.
std::optional<std::string> databaseNameFor(std::string_view fileName);

}  // namespace lumora::pictures
