// lumora-hotsync register / unregister: the conduit registers itself.
#include <cstdio>
#include <string>

#include "common/command_options.h"
#include "common/win32_values.h"
#include "conduit/settings.h"
#include "host/hotsync/commands.h"
#include "hotsync/session/conduit_api.h"
#include "platform/files/files.h"
#include "platform/files/paths.h"
#include "platform/profile/profile.h"

namespace lumora::host {
namespace {

// A fresh system has no sync folder yet, and the first HotSync would fail on it: the set-up
// step makes the one the settings name (the conduit still refuses one that goes later).
int makeSyncFolder() {
  char folder[kPathCapacity] = {};
  profile::getString(conduit::kIniSection, conduit::kKeySyncDir, conduit::kDefaultSyncDir, folder,
                     sizeof folder, conduit::kIniFile);
  if (!*folder) {
    std::fprintf(stderr, "lumora-hotsync register: the sync folder setting (%s in %s) is empty\n",
                 conduit::kKeySyncDir, profile::profilePath(conduit::kIniFile).c_str());
    return 1;
  }
  const std::string host = paths::toHostPath(folder);
  const bool present = !files::fileSystem().find(std::string(folder) + "\\*.*").empty();
  if (!present && !files::fileSystem().makeFolders(folder)) {
    std::fprintf(stderr, "lumora-hotsync register: cannot create the sync folder %s\n",
                 host.c_str());
    return 1;
  }
  std::printf("sync folder: %s%s\n", host.c_str(), present ? "" : " (created)");
  return 0;
}

int runRegistration(int argc, char** argv, const char* exportName, const char* verb) {
  ParsedOptions opts = parseOptions(argc, argv, {"--library"}, {});
  if (opts.help) {
    std::printf(
        "usage: lumora-hotsync %s [--library NAME]\n"
        "\n"
        "Loads the conduit library (default lumsync.dll, found as liblumsync.so beside the\n"
        "program or in LUMORA_LIBRARY_PATH; a NAME with '/' is a host path) and calls its\n"
        "%s export, which records the conduit in conduits.ini in the Windows folder.\n"
        "register also creates the sync folder of the conduit's settings when it is missing\n"
        "and prints where it is.\n"
        "Exit status: 0 done, 1 the conduit reported failure or could not be loaded, 2 usage.\n",
        argv[0], exportName);
    return 0;
  }
  if (!opts.error.empty()) {
    std::fprintf(stderr, "lumora-hotsync %s: %s\n", argv[0], opts.error.c_str());
    return 2;
  }
  std::string library = opts.value("--library").value_or(kDefaultConduitLibrary);
  std::string error;
  auto lib = loadLibraryNamed(library, error);
  if (!lib) {
    std::fprintf(stderr, "lumora-hotsync %s: %s\n", argv[0], error.c_str());
    return 1;
  }
  auto* fn = lib->symbol<RegisterFn>(exportName);
  if (!fn) {
    std::fprintf(stderr, "lumora-hotsync %s: %s has no %s export\n", argv[0], library.c_str(),
                 exportName);
    return 1;
  }
  int32_t result = fn();
  if (result == 1) {
    std::printf("%s: %s\n", library.c_str(), verb);
    return std::string(exportName) == "DllRegisterServer" ? makeSyncFolder() : 0;
  }
  std::fprintf(stderr, "lumora-hotsync %s: %s returned %d (failed)\n", argv[0], exportName,
               static_cast<int>(result));
  return 1;
}

}  // namespace

int runRegister(int argc, char** argv) {
  return runRegistration(argc, argv, "DllRegisterServer", "registered");
}

int runUnregister(int argc, char** argv) {
  return runRegistration(argc, argv, "DllUnregisterServer", "unregistered");
}

}  // namespace lumora::host
