// lumora-hotsync: a stand-in HotSync Manager for a simulated handheld.
#include <cstdio>
#include <cstring>
#include <string>

#include "common/command_options.h"
#include "host/hotsync/commands.h"

namespace {

constexpr const char* kUsage =
    "usage: lumora-hotsync COMMAND [options]\n"
    "\n"
    "A stand-in HotSync Manager: runs the registered conduit against a simulated handheld\n"
    "(a directory of .pdb files) or a real one over the network, a serial line or USB.\n"
    "\n"
    "commands:\n"
    "  sync --handheld DIR [--user NAME] [--sync-type N] run one HotSync\n"
    "  serve [--listen ADDR:PORT] [--serial DEVICE] [--usb] [--once]\n"
    "        [--accept-new-users] [...]\n"
    "                                 wait for HotSyncs of real handhelds over the network,\n"
    "                                 serial lines (cradles, USB ttys, emulators) and USB\n"
    "  users [list | add NAME | remove NAME | pair NAME]\n"
    "                                 who may HotSync with this desktop\n"
    "  register [--library NAME]      load the conduit and let it register itself\n"
    "  unregister [--library NAME]    load the conduit and let it remove its registration\n"
    "  configure --user NAME [...]    change the conduit's settings (its dialog)\n"
    "  install-fonts --user NAME (--face FACE --styles N | --some)\n"
    "                                 queue desktop fonts through the installer library\n"
    "  log --user NAME                print the user's HotSync log\n"
    "  replay FILE.json...            check recorded HotSync sessions against the link code\n"
    "\n"
    "Run 'lumora-hotsync COMMAND --help' for a command's options; --version prints the\n"
    "version.\n"
    "Exit status: 0 done, 1 the work failed, 2 usage error.\n"
    "\n"
    "Environment: LUMORA_WINDOWS_DIR (the Windows folder: Lumdex.ini, conduits.ini, HotSync/),\n"
    "LUMORA_DRIVE_C (drive C:), LUMORA_LIBRARY_PATH (where X.dll is found as libX.so).\n";

}  // namespace

int main(int argc, char** argv) {
  // Whole lines reach a pipe or the journal as they are printed, not when a buffer fills.
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  using namespace lumora::host;
  const Command commands[] = {
      {"sync", runSync},
      {"register", runRegister},
      {"unregister", runUnregister},
      {"configure", runConfigure},
      {"install-fonts", runInstallFonts},
      {"log", runLog},
      {"replay", runReplay},
      {"serve", runServe},
      {"users", runUsers},
  };
  return runCommand("lumora-hotsync", kUsage, commands, argc, argv);
}
