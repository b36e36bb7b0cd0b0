// lumora-hotsync log: print a user's HotSync log.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>

#include "common/command_options.h"
#include "host/hotsync/commands.h"
#include "platform/files/paths.h"

namespace lumora::host {

int runLog(int argc, char** argv) {
  ParsedOptions opts = parseOptions(argc, argv, {"--user"}, {});
  if (opts.help) {
    std::puts(
        "usage: lumora-hotsync log --user NAME\n"
        "\n"
        "Prints the HotSync log of user NAME (HotSync/NAME/HotSync.log in the Windows folder).\n"
        "Exit status: 0 printed, 1 no log yet, 2 usage error.");
    return 0;
  }
  auto user = opts.value("--user");
  if (!opts.error.empty() || !user || user->empty()) {
    std::fprintf(stderr, "lumora-hotsync log: %s\n",
                 opts.error.empty() ? "--user is required" : opts.error.c_str());
    return 2;
  }
  if (user->find('/') != std::string::npos || *user == "." || *user == "..") {
    std::fprintf(stderr, "lumora-hotsync log: not a user name: %s\n", user->c_str());
    return 2;
  }
  std::string path = paths::windowsFolder() + "/HotSync/" + *user + "/HotSync.log";
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "lumora-hotsync log: no log for user %s (%s)\n", user->c_str(),
                 path.c_str());
    return 1;
  }
  std::cout << in.rdbuf();
  return 0;
}

}  // namespace lumora::host
