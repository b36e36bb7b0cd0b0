#include "hotsync/session/conduit_api.h"

#include "hotsync/api/hotsync_host.h"
#include "hotsync/session/library_path.h"

namespace lumora::host {

std::unique_ptr<process::LoadedLibrary> loadLibraryNamed(const std::string& name,
                                                         std::string& error) {
  std::string path = resolveLibrary(name);
  if (path.empty()) {
    error = "cannot find " + hostLibraryName(name) + " (for " + name +
            ") beside the program or in LUMORA_LIBRARY_PATH";
    return nullptr;
  }
  auto lib = std::make_unique<process::LoadedLibrary>(path);
  if (!lib->loaded()) {
    error = "cannot load " + path + ": " + lib->error();
    return nullptr;
  }
  return lib;
}

std::unique_ptr<process::LoadedLibrary> loadRegisteredConduit(const char* creator,
                                                              std::string& error) {
  char library[260] = {};
  if (CmGetConduitValue(creator, "library", library, sizeof library) != 0 || !library[0]) {
    error = std::string("no conduit is registered for creator ") + creator +
            " (run: lumora-hotsync register)";
    return nullptr;
  }
  return loadLibraryNamed(library, error);
}

}  // namespace lumora::host
