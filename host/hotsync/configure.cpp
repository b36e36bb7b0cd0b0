#include <cstdio>

#include "host/hotsync/commands.h"

namespace lumora::host {

int runConfigure(int, char**) {
  std::fputs("lumora-hotsync configure: not available in this build\n", stderr);
  return 1;
}

}  // namespace lumora::host
