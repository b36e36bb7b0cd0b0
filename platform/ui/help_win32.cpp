// The help page on Windows: the same HTML page, handed to the shell's default program.
#include <windows.h>

#include <shellapi.h>

#include <string>

#include "platform/files/files.h"
#include "platform/ui/help.h"

namespace lumora::ui {

bool openHelpPage(std::string_view hostPath, uint32_t context) {
  (void)context;  // the shell opens files, not anchors
  if (!files::fileSystem().existsForRead(hostPath)) return false;
  const std::string path(hostPath);
  auto r = reinterpret_cast<INT_PTR>(
      ::ShellExecuteA(nullptr, "open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
  return r > 32;
}

}  // namespace lumora::ui
