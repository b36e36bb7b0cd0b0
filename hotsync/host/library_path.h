// How the host finds a library that the conduit registry or an installer names by its
// Windows file name: "lumsync.dll" is the shared library liblumsync.so, looked for in
// each folder of $LUMORA_LIBRARY_PATH (colon-separated), then beside the running program,
// then in ../lib from it. A name that contains "/" is taken as a host path as it is.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace lumora::host {

// The host file name of a Windows library name ("lumsync.dll" -> "liblumsync.so").
std::string hostLibraryName(std::string_view windowsName);

// The full path of the library, or an empty string when it is nowhere to be found.
std::string resolveLibrary(std::string_view windowsName);

// The folders of a search list such as $LUMORA_LIBRARY_PATH (which may be unset), empty
// entries dropped.
std::vector<std::string> splitSearchList(const char* list, char separator);

}  // namespace lumora::host
