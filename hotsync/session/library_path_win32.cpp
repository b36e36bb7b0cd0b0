// On Windows a library is the DLL of its own name, looked for in each folder of
// $LUMORA_LIBRARY_PATH (';'-separated), then beside the running program.
#include <vector>

#include "hotsync/session/library_path.h"
#include "platform/process/loaded_library.h"
#include "platform/process/test_hooks.h"

namespace lumora::host {

std::string hostLibraryName(std::string_view windowsName) {
  std::string name(windowsName);
  if (auto sep = name.find_last_of("\\/"); sep != std::string::npos) name = name.substr(sep + 1);
  return name;
}

std::string resolveLibrary(std::string_view windowsName) {
  if (windowsName.find_first_of("\\/:") != std::string_view::npos) {
    std::string path(windowsName);
    return process::isLoadableFile(path) ? path : std::string();
  }
  std::string file = hostLibraryName(windowsName);
  std::vector<std::string> folders = splitSearchList(hooks::librarySearchList().c_str(), ';');
  folders.push_back(process::programFolder());
  for (const std::string& folder : folders) {
    std::string candidate = folder + "\\" + file;
    if (process::isLoadableFile(candidate)) return candidate;
  }
  return {};
}

}  // namespace lumora::host
