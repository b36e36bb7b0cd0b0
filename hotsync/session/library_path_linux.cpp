#include "hotsync/session/library_path.h"

#include <cctype>
#include <vector>

#include "platform/process/loaded_library.h"
#include "platform/process/test_hooks.h"

#ifndef LUMORA_MULTIARCH
#define LUMORA_MULTIARCH ""
#endif
#ifndef LUMORA_INSTALL_LIBDIR
#define LUMORA_INSTALL_LIBDIR "lib"
#endif

namespace lumora::host {

std::string hostLibraryName(std::string_view windowsName) {
  std::string name(windowsName);
  // Take the last component of a Windows path.
  if (auto sep = name.find_last_of("\\/"); sep != std::string::npos) name = name.substr(sep + 1);
  if (name.size() > 4) {
    std::string ext = name.substr(name.size() - 4);
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (ext == ".dll") name = name.substr(0, name.size() - 4);
  }
  return "lib" + name + ".so";
}

std::string resolveLibrary(std::string_view windowsName) {
  if (windowsName.find('/') != std::string_view::npos) {
    std::string path(windowsName);
    return process::isLoadableFile(path) ? path : std::string();
  }
  std::string file = hostLibraryName(windowsName);
  const InstallLayout layout{LUMORA_MULTIARCH, LUMORA_INSTALL_LIBDIR};
  const std::vector<std::string> folders = librarySearchFolders(
      hooks::librarySearchList().c_str(), ':', process::programFolder(), layout);
  for (const std::string& folder : folders) {
    std::string candidate = folder + "/" + file;
    if (process::isLoadableFile(candidate)) return candidate;
  }
  return {};
}

}  // namespace lumora::host
