#include "platform/ui/help.h"

namespace lumora::ui {

std::string helpUrl(std::string_view hostPath, uint32_t context) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  // A Windows path ("C:\\...") becomes "file:///C:/...", a POSIX one "file:///...".
  bool windows = !hostPath.empty() && hostPath[0] != '/';
  std::string url = windows ? "file:///" : "file://";
  for (char ch : hostPath) {
    auto c = static_cast<unsigned char>(ch);
    bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                 c == '/' || c == '-' || c == '_' || c == '.' || c == '~' || (windows && c == ':');
    if (windows && c == '\\') {
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

}  // namespace lumora::ui
