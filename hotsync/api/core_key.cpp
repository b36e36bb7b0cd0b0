// The current user's Core key, where a Palm Desktop installation names its programs.
#include "hotsync/api/user_paths.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace lumora::hotsync {

std::optional<std::string> hotSyncExecPath() {
#if defined(_WIN32)
  char value[MAX_PATH] = {};
  DWORD size = sizeof value;
  if (RegGetValueA(HKEY_CURRENT_USER, "Software\\U.S. Robotics\\Pilot Desktop\\Core", "HotSyncPath",
                   RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS)
    return std::nullopt;
  return std::string(value);
#else
  return std::nullopt;  // no HotSync Manager on this host
#endif
}

}  // namespace lumora::hotsync
