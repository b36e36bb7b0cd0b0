#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>

#include "platform/ui/module_path.h"

namespace lumora::ui {

std::string moduleFileName(const void* address) {
  if (!address) return {};
  Dl_info info{};
  if (dladdr(address, &info) == 0 || !info.dli_fname || !*info.dli_fname) return {};
  char resolved[PATH_MAX];
  if (realpath(info.dli_fname, resolved)) return resolved;
  return info.dli_fname;
}

}  // namespace lumora::ui
