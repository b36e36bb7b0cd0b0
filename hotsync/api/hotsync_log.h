// The HotSync log: every entry goes to the observer (the host prints it) and, while a user
// is connected, as one line to that user's HotSync.log:
//   2026-12-08 12:00:00  [-1] Lumora: failed to read record.
// local time, two spaces, the activity code in brackets, a space, the text; line breaks
// inside the text become spaces so that one entry stays one line.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

#include "hotsync/api/hotsync_host.h"

namespace lumora::hotsync {

// One log file line, with its terminating "\n".
std::string formatLogLine(const std::tm& localTime, int32_t activity, std::string_view text);

class HotSyncLog {
 public:
  void setObserver(HsLogObserver observer, void* context) {
    observer_ = observer;
    context_ = context;
  }
  // The file that entries are appended to; empty: none (no user connected).
  void setFile(std::string path) { path_ = std::move(path); }
  const std::string& file() const { return path_; }

  // Passes the entry on; false when the log file could not be written.
  bool add(std::string_view text, int32_t activity);

 private:
  HsLogObserver observer_ = nullptr;
  void* context_ = nullptr;
  std::string path_;
};

}  // namespace lumora::hotsync
