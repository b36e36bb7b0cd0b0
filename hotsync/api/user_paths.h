// Where a HotSync user's files live in the Windows folder (paths::windowsFolder()):
//   HotSync/<user>/HotSync.log   the user's HotSync log
//   HotSync/<user>/Install/      the user's install queue
// <user> is the user name escaped as names.h says, so no name leaves HotSync/.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lumora::hotsync {

// Host paths; nullopt for a user name that cannot name a folder (empty, too long).
std::optional<std::string> userFolder(std::string_view userName);
std::optional<std::string> userLogFile(std::string_view userName);
std::optional<std::string> userInstallFolder(std::string_view userName);

// The users that have a folder, by name, sorted.
std::vector<std::string> hotSyncUsers();

// The HotSync Manager's program as the current user's Core key names it (Windows only).
std::optional<std::string> hotSyncExecPath();

// The conduit registry file.
std::string conduitRegistryFile();

}  // namespace lumora::hotsync
