#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "platform/files/files.h"
#include "platform/ui/help.h"

extern char** environ;

namespace lumora::ui {

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
