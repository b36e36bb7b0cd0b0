// Placeholder until the dialog lands: closes at once as if cancelled.
#include "conduit/config_dialog.h"

namespace lumora::conduit {

void runConfigDialog(uint8_t*, ui::Window) {}

}  // namespace lumora::conduit
