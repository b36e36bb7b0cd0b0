#include "hotsync/session/library_path.h"

#include <string_view>

namespace lumora::host {

std::vector<std::string> splitSearchList(const char* list, char separator) {
  std::vector<std::string> folders;
  if (!list) return folders;
  std::string_view rest(list);
  while (true) {
    size_t end = rest.find(separator);
    std::string_view part = rest.substr(0, end);
    if (!part.empty()) folders.emplace_back(part);
    if (end == std::string_view::npos) break;
    rest.remove_prefix(end + 1);
  }
  return folders;
}

std::vector<std::string> librarySearchFolders(const char* searchList, char separator,
                                              const std::string& programFolder,
                                              const InstallLayout& layout) {
  std::vector<std::string> folders = splitSearchList(searchList, separator);
  auto add = [&folders](std::string folder) {
    for (const std::string& f : folders)
      if (f == folder) return;
    folders.push_back(std::move(folder));
  };
  add(programFolder);
  const std::string up = programFolder + "/../";
  add(up + "lib");
  if (!layout.multiarch.empty()) add(up + "lib/" + layout.multiarch);
  // An absolute library folder belongs to one prefix only: not relative to the program.
  if (!layout.libDir.empty() && layout.libDir.front() != '/') add(up + layout.libDir);
  return folders;
}

}  // namespace lumora::host
