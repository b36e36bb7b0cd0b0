// The HotSync log functions.
#include <cstdarg>
#include <cstdio>
#include <string>

#include "hotsync/api/hotsync.h"
#include "hotsync/api/session.h"

using lumora::hotsync::Call;

extern "C" {

HOTSYNC_API int32_t LogAddEntry(const char* text, int32_t activity, int32_t /*reserved*/) {
  Call call("LogAddEntry");
  if (call.fault) return *call.fault;
  if (!text) return SYNC_ERR_BAD_ARG;
  return call.s.log.add(text, activity) ? SYNC_OK : SYNC_ERR_STORAGE;
}

HOTSYNC_API int32_t LogAddFormattedEntry(int32_t activity, int32_t /*reserved*/, const char* format,
                                         ...) {
  Call call("LogAddFormattedEntry");
  if (call.fault) return *call.fault;
  if (!format) return SYNC_ERR_BAD_ARG;
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  int length = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  std::string text;
  if (length > 0) {
    text.resize(static_cast<size_t>(length) + 1);
    std::vsnprintf(text.data(), text.size(), format, again);
    text.resize(static_cast<size_t>(length));
  }
  va_end(again);
  if (length < 0) return SYNC_ERR_BAD_ARG;
  return call.s.log.add(text, activity) ? SYNC_OK : SYNC_ERR_STORAGE;
}

}  // extern "C"
