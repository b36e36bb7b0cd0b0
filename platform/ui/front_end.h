// Which front end a modal dialog of this process gets.
#pragma once

#include "platform/ui/toolkit.h"

namespace lumora::ui {

enum class FrontEnd {
  installed,  // a toolkit set with setToolkit (tests, a host's own)
  headless,   // no window: $LUMORA_DIALOG_SCRIPT is set, or no display can be opened
  window,     // the FLTK front end on the display
};

FrontEnd chooseFrontEnd();

// For the life of the object, the toolkit is the chosen front end.
class FrontEndScope {
 public:
  FrontEndScope();
  ~FrontEndScope();
  FrontEndScope(const FrontEndScope&) = delete;
  FrontEndScope& operator=(const FrontEndScope&) = delete;

 private:
  bool installed_ = false;
  Toolkit* previous_ = nullptr;
};

}  // namespace lumora::ui
