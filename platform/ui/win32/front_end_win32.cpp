// On Windows a dialog gets the Win32 front end unless a script asks for the headless one.
#include <cstdlib>

#include "platform/ui/front_end.h"
#include "platform/ui/headless_toolkit.h"
#include "platform/ui/win32/win32_toolkit.h"

namespace lumora::ui {

FrontEnd chooseFrontEnd() {
  if (installedToolkit()) return FrontEnd::installed;
  if (std::getenv(kDialogScriptVariable)) return FrontEnd::headless;
  return FrontEnd::window;
}

FrontEndScope::FrontEndScope() {
  if (chooseFrontEnd() == FrontEnd::window) {
    previous_ = setToolkit(&win32::toolkit());
    installed_ = true;
  }
}

FrontEndScope::~FrontEndScope() {
  if (installed_) setToolkit(previous_);
}

}  // namespace lumora::ui
