// How the host finds a library that the conduit registry or an installer names by its
// Windows file name: "lumsync.dll" is the shared library liblumsync.so, looked for in
// each folder of $LUMORA_LIBRARY_PATH (colon-separated), then beside the running program,
// then in the library folders of an installation around it (../lib, ../lib/MULTIARCH and
// the build's configured library folder). A name that contains "/" is taken as a host path
// as it is.
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

// Where an installation around the program keeps its libraries, relative to the program's
// folder's parent: "lib" and "lib/x86_64-linux-gnu" (multiarch) or "lib64" (libDir).
struct InstallLayout {
  std::string multiarch;  // may be empty
  std::string libDir;     // may be empty or one of the above
};

// The folders looked in, in order, without repeats: the search list's, the program's own,
// then the installation's library folders.
std::vector<std::string> librarySearchFolders(const char* searchList, char separator,
                                              const std::string& programFolder,
                                              const InstallLayout& layout);

}  // namespace lumora::host
