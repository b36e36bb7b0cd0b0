#include "hotsync/store/environment_clock.h"

#include <cstdlib>
#include <string>

#include "hotsync/format/handheld_clock.h"
#include "platform/process/test_hooks.h"

namespace lumora::hotsync {

HandheldStore::Clock clockFromEnvironment(const HandheldStore::Logger& log) {
  const std::string text = hooks::handheldTime();
  if (text.empty()) return {};
  auto fixed = palmTimeFromUnixText(text);
  if (!fixed) {
    if (log)
      log("HotSync: ignored LUMORA_HANDHELD_TIME \"" + text + "\" (expected seconds since 1970).");
    return {};
  }
  return [time = *fixed] { return time; };
}

}  // namespace lumora::hotsync
