#include "hotsync/api/session.h"

#include <memory>

namespace lumora::hotsync {

Session& session() {
  // Never destroyed: libraries unloaded at exit (the conduit writes back then) may still
  // call in after this library's own statics would have gone.
  static Session* const instance = std::make_unique<Session>().release();
  return *instance;
}

Call::Call() : s(session()), lock_(s.mutex) {}

Call::Call(const char* op) : Call() {
  if (s.recorder) s.recorder(op, s.recorderContext);
  if (auto due = s.faults.onCall(op)) {
    if (due->throwInteger) throw static_cast<int32_t>(due->code);
    fault = due->code;
  }
}

std::optional<int32_t> Call::notConnected() const {
  if (s.handheld) return std::nullopt;
  return SYNC_ERR_NOT_CONNECTED;
}

int32_t Call::report(int32_t result, const char* op, const char* dbName, uint32_t dbType,
                     uint32_t bytes) const {
  if (result == SYNC_OK && s.calls) s.calls(op, dbName, dbType, bytes, s.callsContext);
  return result;
}

}  // namespace lumora::hotsync
