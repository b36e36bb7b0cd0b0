#include "platform/ui/toolkit.h"

#include "platform/ui/headless_toolkit.h"

namespace lumora::ui {
namespace {

Toolkit* current = nullptr;

}  // namespace

Toolkit& toolkit() {
  static HeadlessToolkit headless;
  return current ? *current : headless;
}

Toolkit* setToolkit(Toolkit* t) {
  Toolkit* previous = current;
  current = t;
  return previous;
}

Toolkit* installedToolkit() {
  return current;
}

}  // namespace lumora::ui
