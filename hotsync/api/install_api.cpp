// The install aide function.
#include <cstring>
#include <string>
#include <vector>

#include "hotsync/api/hotsync.h"
#include "hotsync/api/install_queue.h"
#include "hotsync/api/session.h"
#include "hotsync/api/user_paths.h"

using lumora::hotsync::Call;

extern "C" {

HOTSYNC_API int32_t PltInstallFile(char* userName, char* filePath) {
  Call call("PltInstallFile");
  if (call.fault) return *call.fault;
  if (!userName || !filePath) return SYNC_ERR_BAD_ARG;
  return lumora::hotsync::queueFile(userName, filePath);
}

// The users are the folders of the HotSync folder, by their unescaped names, sorted.
static std::vector<std::string> users() {
  return lumora::hotsync::hotSyncUsers();
}

HOTSYNC_API int32_t HOTSYNC_WINAPI PltGetUserCount(void) {
  Call call("PltGetUserCount");
  if (call.fault) return *call.fault;
  return static_cast<int32_t>(users().size());
}

HOTSYNC_API int32_t HOTSYNC_WINAPI PltGetUser(uint32_t index, char* buffer, int16_t* size) {
  Call call("PltGetUser");
  if (call.fault) return *call.fault;
  if (!buffer || !size || *size <= 0) return SYNC_ERR_BAD_ARG;
  std::vector<std::string> all = users();
  if (index >= all.size()) return PLT_ERR_BAD_INDEX;
  const std::string& name = all[index];
  if (name.size() + 1 > static_cast<size_t>(*size)) {
    *size = static_cast<int16_t>(name.size() + 1);
    return PLT_ERR_BUFFER_TOO_SMALL;
  }
  std::memcpy(buffer, name.c_str(), name.size() + 1);
  return static_cast<int32_t>(name.size());
}

}  // extern "C"
