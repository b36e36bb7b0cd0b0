// The version line the programs print for --version (the build defines LUMORA_VERSION from
// the project's version; manual pages are made from it).
#pragma once

#include <cstdio>

#ifndef LUMORA_VERSION
#error "LUMORA_VERSION comes from the lumora_version target"
#endif

namespace lumora {

inline int printVersion(const char* program) {
  std::printf("%s %s\n", program, LUMORA_VERSION);
  return 0;
}

}  // namespace lumora
