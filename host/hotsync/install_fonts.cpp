#include <cstdio>

#include "host/hotsync/commands.h"

namespace lumora::host {

int runInstallFonts(int, char**) {
  std::fputs("lumora-hotsync install-fonts: not available in this build\n", stderr);
  return 1;
}

}  // namespace lumora::host
