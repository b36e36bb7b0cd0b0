// The registry in use: the host's, or one a test installed.
#include "platform/registry/registry.h"

namespace lumora::registry {
namespace {

Registry* current = nullptr;

}  // namespace

Registry& registry() {
  return current ? *current : hostRegistry();
}

Registry* setRegistry(Registry* r) {
  Registry* previous = current;
  current = r;
  return previous;
}

}  // namespace lumora::registry
