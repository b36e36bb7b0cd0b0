// The state behind the C API: one connection at a time, its log, observers and faults.
// Every API call holds the session lock for its duration (callbacks may call back in).
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "hotsync/api/fault_injector.h"
#include "hotsync/api/handheld.h"
#include "hotsync/api/hotsync_host.h"
#include "hotsync/api/hotsync_log.h"

namespace lumora::hotsync {

struct Session {
  std::recursive_mutex mutex;
  std::unique_ptr<Handheld> handheld;
  std::string user;
  bool registered = false;  // a conduit holds the session (SyncRegisterConduit)
  HotSyncLog log;
  HsLogObserver trace = nullptr;
  void* traceContext = nullptr;
  HsCallObserver calls = nullptr;
  void* callsContext = nullptr;
  HsCallRecorder recorder = nullptr;
  void* recorderContext = nullptr;
  FaultInjector faults;
};

Session& session();

#if defined(_WIN32)
// Passes the developer trace (OutputDebugStringA) to the trace observer while on.
void watchDebuggerOutput(bool on);
#endif

// One call of an operation: takes the lock, counts the call and applies a fault that is
// due (a thrown one leaves the constructor as an int32_t exception).
class Call {
 public:
  explicit Call(const char* op);
  // Host-side calls: the lock only, neither counted nor faulted.
  Call();
  Session& s;
  std::optional<int32_t> fault;
  // SYNC_ERR_NOT_CONNECTED when no handheld is connected, else nullopt.
  std::optional<int32_t> notConnected() const;
  Handheld& handheld() const { return *s.handheld; }
  // Passes a call's result on to the call observer when it succeeded.
  int32_t report(int32_t result, const char* op, const char* dbName = nullptr, uint32_t dbType = 0,
                 uint32_t bytes = 0) const;

 private:
  std::unique_lock<std::recursive_mutex> lock_;
};

}  // namespace lumora::hotsync
