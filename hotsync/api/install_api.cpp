// The install aide function.
#include "hotsync/api/hotsync.h"
#include "hotsync/api/install_queue.h"
#include "hotsync/api/session.h"

using lumora::hotsync::Call;

extern "C" {

HOTSYNC_API int32_t PltInstallFile(char* userName, char* filePath) {
  Call call("PltInstallFile");
  if (call.fault) return *call.fault;
  if (!userName || !filePath) return SYNC_ERR_BAD_ARG;
  return lumora::hotsync::queueFile(userName, filePath);
}

}  // extern "C"
