#include "hotsync/store/environment_clock.h"

#include <cstdlib>
#include <string>

#include "hotsync/store/handheld_clock.h"

namespace lumora::hotsync {

HandheldStore::Clock clockFromEnvironment(const HandheldStore::Logger& log) {
  const char* text = std::getenv("LUMORA_HANDHELD_TIME");
  if (!text || !*text) return {};
  auto fixed = palmTimeFromUnixText(text);
  if (!fixed) {
    if (log)
      log(std::string("HotSync: ignored LUMORA_HANDHELD_TIME \"") + text +
          "\" (expected seconds since 1970).");
    return {};
  }
  return [time = *fixed] { return time; };
}

}  // namespace lumora::hotsync
