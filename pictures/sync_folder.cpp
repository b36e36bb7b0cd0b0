#include "pictures/sync_folder.h"

#include "platform/files/files.h"

namespace lumora::pictures {

bool syncFolderPresent(std::string_view folder) {
  std::string pattern = pathInFolder(folder, "*.*");
  return pattern.size() >= 7 && !files::fileSystem().find(pattern).empty();
}

std::string pathInFolder(std::string_view folder, std::string_view fileName) {
  std::string path(folder);
  path += '\\';
  path += fileName;
  return path;
}

}  // namespace lumora::pictures
