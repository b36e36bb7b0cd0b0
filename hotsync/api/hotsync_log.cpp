#include "hotsync/api/hotsync_log.h"

#include "platform/files/atomic_files.h"

namespace lumora::hotsync {

bool HotSyncLog::add(std::string_view text, int32_t activity) {
  if (observer_) {
    std::string copy(text);  // the observer gets a terminated string
    observer_(copy.c_str(), activity, context_);
  }
  if (path_.empty()) return true;
  std::time_t now = std::time(nullptr);
  std::tm local{};
#if defined(_WIN32)
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  auto slash = path_.rfind('/');
  if (slash != std::string::npos && slash > 0) files::makeFolders(path_.substr(0, slash));
  return files::appendToFile(path_, formatLogLine(local, activity, text));
}

}  // namespace lumora::hotsync
