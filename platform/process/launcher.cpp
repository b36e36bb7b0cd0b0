// The launcher in use: the host's, or one a test installed.
#include "platform/process/process.h"

namespace lumora::process {
namespace {

Launcher* current = nullptr;

}  // namespace

Launcher& launcher() {
  return current ? *current : hostLauncher();
}

Launcher* setLauncher(Launcher* l) {
  Launcher* previous = current;
  current = l;
  return previous;
}

}  // namespace lumora::process
