// On Windows a library is the DLL of its own name, looked for in each folder of
// $LUMORA_LIBRARY_PATH (';'-separated), then beside the running program.
#include <windows.h>

#include <cstdlib>
#include <vector>

#include "hotsync/session/library_path.h"
#include "platform/process/test_hooks.h"

namespace lumora::host {
namespace {

bool isFile(const std::string& path) {
  DWORD a = ::GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

std::string programFolder() {
  char path[MAX_PATH + 1];
  DWORD n = ::GetModuleFileNameA(nullptr, path, sizeof path);
  if (n == 0 || n >= sizeof path) return ".";
  std::string exe(path, n);
  auto sep = exe.find_last_of("\\/");
  return sep == std::string::npos ? "." : exe.substr(0, sep);
}

}  // namespace

std::string hostLibraryName(std::string_view windowsName) {
  std::string name(windowsName);
  if (auto sep = name.find_last_of("\\/"); sep != std::string::npos) name = name.substr(sep + 1);
  return name;
}

std::string resolveLibrary(std::string_view windowsName) {
  if (windowsName.find_first_of("\\/:") != std::string_view::npos) {
    std::string path(windowsName);
    return isFile(path) ? path : std::string();
  }
  std::string file = hostLibraryName(windowsName);
  std::vector<std::string> folders = splitSearchList(hooks::librarySearchList().c_str(), ';');
  folders.push_back(programFolder());
  for (const std::string& folder : folders) {
    std::string candidate = folder + "\\" + file;
    if (isFile(candidate)) return candidate;
  }
  return {};
}

}  // namespace lumora::host
