#include <windows.h>

#include "platform/ui/module_path.h"

namespace lumora::ui {

std::string moduleFileName(const void* address) {
  if (!address) return {};
  HMODULE module = nullptr;
  const DWORD flags =
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT;
  if (!::GetModuleHandleExA(flags, static_cast<LPCSTR>(address), &module)) return {};
  char path[MAX_PATH + 1];
  DWORD n = ::GetModuleFileNameA(module, path, sizeof path);
  if (n == 0 || n >= sizeof path) return {};
  return std::string(path, n);
}

}  // namespace lumora::ui
