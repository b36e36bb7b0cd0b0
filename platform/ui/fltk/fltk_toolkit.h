// The FLTK front end: modal dialogs laid out from their templates, native file and folder
// choosers and message boxes on the X display.
#pragma once

#include "platform/ui/dialog_template.h"
#include "platform/ui/toolkit.h"

namespace lumora::ui::fltk {

// Opens the display for FLTK once; false (and FLTK untouched) when there is none.
bool openDisplay();

// The front end; openDisplay() must have succeeded.
Toolkit& toolkit();

// The pixel size FLTK's default sans font takes for a template font of pointSize, and
// the dialog units that font gives. Needs the display.
int fontPixels(int pointSize);
DialogUnits dialogUnits(int pointSize);

}  // namespace lumora::ui::fltk
