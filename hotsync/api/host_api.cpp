// The host's side of the Sync Manager that needs no backend: the install queue, the
// user's folder, observers and faults.
#include <cstring>
#include <string>

#include "hotsync/api/hotsync_host.h"
#include "hotsync/api/install_queue.h"
#include "hotsync/api/session.h"
#include "hotsync/api/user_paths.h"

using lumora::hotsync::Call;

extern "C" {

HOTSYNC_API int32_t HsIsConnected(void) {
  Call call;
  return call.s.handheld ? 1 : 0;
}

HOTSYNC_API int32_t HsInstallQueued(const char* userName, HsRejectFn reject, void* context) {
  Call call;
  if (!call.s.handheld || !userName) return -1;
  return lumora::hotsync::installQueued(userName, *call.s.handheld,
                                        [&](const std::string& file, const std::string& reason) {
                                          if (reject) reject(file.c_str(), reason.c_str(), context);
                                        });
}

HOTSYNC_API int32_t HsUserFolder(const char* userName, char* buffer, uint32_t capacity) {
  Call call;
  if (!userName || !buffer || capacity == 0) return SYNC_ERR_BAD_ARG;
  buffer[0] = '\0';
  auto folder = lumora::hotsync::userFolder(userName);
  if (!folder) return SYNC_ERR_BAD_ARG;
  if (folder->size() >= capacity) return SYNC_ERR_TOO_LARGE;
  std::memcpy(buffer, folder->c_str(), folder->size() + 1);
  return SYNC_OK;
}

HOTSYNC_API void HsSetLogObserver(HsLogObserver observer, void* context) {
  Call call;
  call.s.log.setObserver(observer, context);
}

HOTSYNC_API void HsSetTraceObserver(HsLogObserver observer, void* context) {
  Call call;
  call.s.trace = observer;
  call.s.traceContext = context;
#if defined(_WIN32)
  lumora::hotsync::watchDebuggerOutput(observer != nullptr);
#endif
}

HOTSYNC_API void HsSetCallObserver(HsCallObserver observer, void* context) {
  Call call;
  call.s.calls = observer;
  call.s.callsContext = context;
}

HOTSYNC_API void HsInjectFault(const char* op, int32_t nth, int32_t code, int32_t throwInteger) {
  Call call;
  if (!op) return;
  call.s.faults.arm({op, nth, code, throwInteger != 0});
}

HOTSYNC_API void HsResetFaults(void) {
  Call call;
  call.s.faults.reset();
}

HOTSYNC_API void HsSetCallRecorder(HsCallRecorder recorder, void* context) {
  Call call;
  call.s.recorder = recorder;
  call.s.recorderContext = context;
}

HOTSYNC_API int32_t HsCallCount(const char* op) {
  Call call;
  return op ? call.s.faults.count(op) : call.s.faults.totalCount();
}

}  // extern "C"
