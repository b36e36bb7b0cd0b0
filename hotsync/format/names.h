// Database and user names as the store meets them: untrusted bytes that become file and
// folder names inside a given directory, never outside it. No OS calls.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace lumora::hotsync {

constexpr size_t kMaxDbNameLength = 31;  // the 32-byte name field holds the terminator
constexpr size_t kMaxUserNameLength = 80;

// The name held in a fixed field: nullopt when it is empty or not terminated in the field.
std::optional<std::string> nameFromField(const char* field, size_t fieldSize);
// A zero-terminated name: nullopt when null, empty or longer than 31 bytes.
std::optional<std::string> nameFromText(const char* text);

// Every byte outside "A-Z a-z 0-9 space . _ -" (and '%' itself) as %XX, upper-case hex.
// The result never holds '/', so it stays a single path component.
std::string escapeName(std::string_view name);

// "<escaped>.pdb": the file of a database in the handheld directory.
std::string databaseFileName(std::string_view dbName);

// The folder name of a HotSync user: escaped like database names, with a leading '.'
// escaped too so that no user maps to ".", ".." or a hidden folder. nullopt for an empty
// name or one longer than kMaxUserNameLength.
std::optional<std::string> userFolderName(std::string_view userName);

}  // namespace lumora::hotsync
