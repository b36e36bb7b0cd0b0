// The log line format, apart from the log so that it stays free of OS calls.
#include <cstdio>

#include "hotsync/api/hotsync_log.h"

namespace lumora::hotsync {

std::string formatLogLine(const std::tm& t, int32_t activity, std::string_view text) {
  char stamp[64];
  std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d  [%ld] ", t.tm_year + 1900,
                t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec,
                static_cast<long>(activity));
  std::string line = stamp;
  for (char c : text) line += (c == '\n' || c == '\r') ? ' ' : c;
  line += '\n';
  return line;
}

}  // namespace lumora::hotsync
