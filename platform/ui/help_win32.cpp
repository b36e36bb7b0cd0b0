// The help page on Windows: the same HTML page, handed to the shell's default program.
#include <windows.h>

#include <shellapi.h>

#include <string>

#include "platform/files/files.h"
#include "platform/ui/help.h"

namespace lumora::ui {

std::string helpUrl(std::string_view hostPath, uint32_t context) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string url = "file:///";
  for (char ch : hostPath) {
    auto c = static_cast<unsigned char>(ch);
    bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                 c == '/' || c == '-' || c == '_' || c == '.' || c == '~' || c == ':';
    if (c == '\\') {
      url += '/';
    } else if (plain) {
      url += ch;
    } else {
      url += '%';
      url += kHex[c >> 4];
      url += kHex[c & 0xF];
    }
  }
  return url + "#context-" + std::to_string(context);
}

bool openHelpPage(std::string_view hostPath, uint32_t context) {
  (void)context;  // the shell opens files, not anchors
  if (!files::fileSystem().existsForRead(hostPath)) return false;
  const std::string path(hostPath);
  auto r = reinterpret_cast<INT_PTR>(
      ::ShellExecuteA(nullptr, "open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
  return r > 32;
}

}  // namespace lumora::ui
