// The toolkit seam over real Win32 dialogs, message boxes and common dialogs.
#pragma once

#include "platform/ui/toolkit.h"

namespace lumora::ui::win32 {

Toolkit& toolkit();

}  // namespace lumora::ui::win32
