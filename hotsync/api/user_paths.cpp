#include "hotsync/api/user_paths.h"

#include <algorithm>
#include <cctype>

#include "hotsync/format/names.h"
#include "platform/files/atomic_files.h"
#include "platform/files/paths.h"

namespace lumora::hotsync {

std::optional<std::string> userFolder(std::string_view userName) {
  auto folder = userFolderName(userName);
  if (!folder) return std::nullopt;
  return paths::windowsFolder() + "/HotSync/" + *folder;
}

std::optional<std::string> userLogFile(std::string_view userName) {
  auto folder = userFolder(userName);
  if (!folder) return std::nullopt;
  return *folder + "/HotSync.log";
}

std::optional<std::string> userInstallFolder(std::string_view userName) {
  auto folder = userFolder(userName);
  if (!folder) return std::nullopt;
  return *folder + "/Install";
}

std::vector<std::string> hotSyncUsers() {
  std::string root = paths::windowsFolder() + "/HotSync";
  std::vector<std::string> users;
  auto names = files::listFolder(root);
  if (!names) return users;
  auto hex = [](char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; };
  for (const std::string& folder : *names) {
    if (folder.empty() || folder.front() == '.' || !files::isFolder(files::join(root, folder)))
      continue;
    std::string name;
    for (size_t i = 0; i < folder.size(); ++i) {
      if (folder[i] == '%' && i + 2 < folder.size() &&
          std::isxdigit(static_cast<unsigned char>(folder[i + 1])) &&
          std::isxdigit(static_cast<unsigned char>(folder[i + 2]))) {
        name += static_cast<char>(hex(folder[i + 1]) * 16 + hex(folder[i + 2]));
        i += 2;
      } else {
        name += folder[i];
      }
    }
    users.push_back(name);
  }
  std::sort(users.begin(), users.end());
  return users;
}

std::string conduitRegistryFile() {
  return paths::windowsFolder() + "/conduits.ini";
}

}  // namespace lumora::hotsync
