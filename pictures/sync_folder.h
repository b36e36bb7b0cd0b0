// The desktop sync folder as both transfers check and address it.
#pragma once

#include <string>
#include <string_view>

namespace lumora::pictures {

inline constexpr const char* kMissingFolderLine =
    "Not existing desktop synchronization directory. The synchronization of Lumora failed.";

// Present when a search for folder\*.* finds an entry and that pattern has at least 7
// characters (so "C:" is missing and "C:\" may be present).
bool syncFolderPresent(std::string_view folder);

std::string pathInFolder(std::string_view folder, std::string_view fileName);

}  // namespace lumora::pictures
