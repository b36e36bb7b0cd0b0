// The library's process attach and detach, as Windows reports them to the DLL.
#include <windows.h>

#include "conduit/library_entry.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      // The module's base address lies inside the module, as the module lookup needs.
      lumora::conduit::processAttach(instance);
      break;
    case DLL_PROCESS_DETACH:
      lumora::conduit::processDetach();
      break;
    default:
      break;
  }
  return TRUE;
}
