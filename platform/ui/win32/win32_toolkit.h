// The toolkit seam over real Win32 dialogs, message boxes and common dialogs.
#pragma once

#include "platform/ui/toolkit.h"

#include <windows.h>

namespace lumora::ui::win32 {

Toolkit& toolkit();

// The two ways help is shown, replaceable so that tests can record the calls.
struct HelpCalls {
  BOOL(WINAPI* winHelp)(HWND, LPCSTR, UINT, ULONG_PTR);
  HINSTANCE(WINAPI* shellExecute)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT);
};
// Installs calls (both set) and returns the previous ones; the default is WinHelpA and
// ShellExecuteA.
HelpCalls setHelpCalls(const HelpCalls& calls);

}  // namespace lumora::ui::win32
