#include "conduit/library_entry.h"

#include "conduit/settings.h"

namespace lumora::conduit {
namespace {

const void* gModule = nullptr;
int32_t gAttachCount = 0;

}  // namespace

void processAttach(const void* module) {
  loadSettings(settings());
  if (gAttachCount == 0) gModule = module;
  ++gAttachCount;
}

void processDetach() {
  --gAttachCount;
}

const void* moduleHandle() {
  return gModule;
}
int32_t attachCount() {
  return gAttachCount;
}

}  // namespace lumora::conduit
