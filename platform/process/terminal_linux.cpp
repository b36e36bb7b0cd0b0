#include <sys/ioctl.h>
#include <unistd.h>

#include "platform/process/terminal.h"

namespace lumora::process {

bool stdoutIsTerminal() {
  return ::isatty(STDOUT_FILENO) != 0;
}

size_t terminalColumns() {
  winsize size{};
  if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 1) return size.ws_col - 1;
  return 79;
}

}  // namespace lumora::process
