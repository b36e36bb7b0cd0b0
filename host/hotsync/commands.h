// Sub-commands of lumora-hotsync, one function each; argv[0] is the sub-command name.
// Each returns the process exit status: 0 done, 1 the work failed, 2 usage error.
#pragma once

namespace lumora::host {

int runSync(int argc, char** argv);
int runRegister(int argc, char** argv);
int runUnregister(int argc, char** argv);
int runConfigure(int argc, char** argv);
int runLog(int argc, char** argv);
int runInstallFonts(int argc, char** argv);
int runReplay(int argc, char** argv);
int runServe(int argc, char** argv);
int runUsers(int argc, char** argv);

}  // namespace lumora::host
