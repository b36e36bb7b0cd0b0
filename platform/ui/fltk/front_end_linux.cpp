#include "platform/ui/front_end.h"

#include <cstdlib>

#include "platform/ui/fltk/fltk_toolkit.h"
#include "platform/ui/headless_toolkit.h"

namespace lumora::ui {

FrontEnd chooseFrontEnd() {
  if (installedToolkit()) return FrontEnd::installed;
  // A script asks for the headless front end even where a display is available.
  if (std::getenv(kDialogScriptVariable)) return FrontEnd::headless;
  return fltk::openDisplay() ? FrontEnd::window : FrontEnd::headless;
}

FrontEndScope::FrontEndScope() {
  if (chooseFrontEnd() == FrontEnd::window) {
    previous_ = setToolkit(&fltk::toolkit());
    installed_ = true;
  }
}

FrontEndScope::~FrontEndScope() {
  if (installed_) setToolkit(previous_);
}

}  // namespace lumora::ui
