#include <io.h>

#include <cstdio>

#include "platform/process/terminal.h"

namespace lumora::process {

bool stdoutIsTerminal() {
  return _isatty(_fileno(stdout)) != 0;
}

// The console's width is not asked for: a redrawn line that wraps there is still readable.
size_t terminalColumns() {
  return 79;
}

}  // namespace lumora::process
