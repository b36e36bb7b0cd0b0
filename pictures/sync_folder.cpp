#include "pictures/sync_folder.h"

#include "conduit/settings.h"
#include "platform/files/files.h"

namespace lumora::pictures {

std::string syncFolder() {
  const char* text = conduit::settings().syncFolder;
  size_t n = 0;
  while (n < kPathCapacity && text[n] != '\0') ++n;
  return std::string(text, n);
}

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
