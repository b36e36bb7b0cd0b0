// The Win32 toolkit's help: WinHelpA on the help file when there is one, else the page
// through the shell. The calls are recorded instead of made.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/ui/win32/win32_toolkit.h"
#include "tests/support/temp_dir.h"

namespace lumora {
namespace {

std::vector<std::string> gCalls;

BOOL WINAPI recordWinHelp(HWND owner, LPCSTR file, UINT command, ULONG_PTR data) {
  gCalls.push_back("WinHelpA " + std::to_string(owner != nullptr) + " " + file + " " +
                   std::to_string(command) + " " + std::to_string(data));
  return TRUE;
}

HINSTANCE WINAPI recordShellExecute(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR params, LPCSTR dir,
                                    INT show) {
  gCalls.push_back("ShellExecuteA " + std::to_string(owner != nullptr) + " " + verb + " " + file +
                   " " + std::to_string(params == nullptr && dir == nullptr) + " " +
                   std::to_string(show));
  return reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(42));
}

TEST(Win32Help, HelpFileElseThePageElseNothing) {
  test::TempDir dir;
  const std::string page = dir.path() + "\\hotsync.html";
  const std::string file = dir.path() + "\\hotsync.hlp";
  auto previous = ui::win32::setHelpCalls({&recordWinHelp, &recordShellExecute});
  ui::Toolkit& tk = ui::win32::toolkit();
  HWND owner = ::GetDesktopWindow();
  struct Case {
    const char* what;
    bool withPage, withFile;
    bool shown;
    std::vector<std::string> calls;
  };
  const Case cases[] = {
      {"neither", false, false, false, {}},
      {"the page only", true, false, true, {"ShellExecuteA 1 open " + page + " 1 1"}},
      {"the help file only", false, true, true, {"WinHelpA 1 " + file + " 1 131471"}},
      {"both", true, true, true, {"WinHelpA 1 " + file + " 1 131471"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ::DeleteFileA(page.c_str());
    ::DeleteFileA(file.c_str());
    if (c.withPage) test::writeText(page, "<html></html>");
    if (c.withFile) test::writeText(file, "?_");
    gCalls.clear();
    EXPECT_EQ(tk.winHelp(owner, page, 1, 131471), c.shown);
    EXPECT_EQ(gCalls, c.calls);
  }
  ui::win32::setHelpCalls(previous);
}

TEST(Win32Toolkit, TheForegroundWindowIsTheSystems) {
  EXPECT_EQ(ui::win32::toolkit().foregroundWindow(), ::GetForegroundWindow());
}

}  // namespace
}  // namespace lumora
