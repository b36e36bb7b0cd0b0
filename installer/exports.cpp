// The library's C exports. Each one catches everything: the installer learns nothing of a
// failure, and no exception may cross into it.
#include "installer/lumprep.h"

#include "installer/font_queue.h"
#include "installer/process_utils.h"

extern "C" {

LUMORA_EXPORT void queue_ttf(char* user, char* face, uint32_t styles) {
  if (!user || !face) return;
  try {
    lumora::installer::queueTtf(user, face, styles);
  } catch (...) {
  }
}

LUMORA_EXPORT void queue_some_ttfs(char* user) {
  if (!user) return;
  try {
    lumora::installer::queueSomeTtfs(user);
  } catch (...) {
  }
}

LUMORA_EXPORT uint8_t execute(char* commandLine, uint32_t waitFlag) {
  if (!commandLine) return 0;
  try {
    return lumora::installer::execute(commandLine, waitFlag);
  } catch (...) {
    return 0;
  }
}

LUMORA_EXPORT void shorten_size(int32_t size, char* number, char* unit) {
  if (!number || !unit) return;
  lumora::installer::shortenSize(size, number, unit);
}

}  // extern "C"
