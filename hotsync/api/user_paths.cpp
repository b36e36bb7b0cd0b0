#include "hotsync/api/user_paths.h"

#include "hotsync/store/names.h"
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

std::string conduitRegistryFile() {
  return paths::windowsFolder() + "/conduits.ini";
}

}  // namespace lumora::hotsync
