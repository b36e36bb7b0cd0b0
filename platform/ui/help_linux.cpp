#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "platform/files/files.h"
#include "platform/ui/help.h"

extern char** environ;

namespace lumora::ui {

std::string helpUrl(std::string_view hostPath, uint32_t context) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string url = "file://";
  for (char ch : hostPath) {
    auto c = static_cast<unsigned char>(ch);
    bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                 c == '/' || c == '-' || c == '_' || c == '.' || c == '~';
    if (plain) {
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
  if (!files::fileSystem().existsForRead(hostPath)) return false;
  const char* opener = std::getenv("LUMORA_HELP_OPENER");
  std::string program = opener && *opener ? opener : "xdg-open";
  std::string url = helpUrl(hostPath, context);
  // The shell starts the opener in the background and ends at once, so the dialog keeps
  // running and no child is left to reap.
  std::string script = "\"$0\" \"$1\" >/dev/null 2>&1 &";
  char* argv[] = {const_cast<char*>("/bin/sh"),
                  const_cast<char*>("-c"),
                  script.data(),
                  program.data(),
                  url.data(),
                  nullptr};
  pid_t pid = 0;
  if (posix_spawn(&pid, "/bin/sh", nullptr, nullptr, argv, environ) != 0) return false;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace lumora::ui
