// install-fonts: loads the installer library and calls its font queueing exports, as the
// product's installer does.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <type_traits>

#include "common/command_options.h"
#include "host/hotsync/commands.h"
#include "hotsync/session/library_path.h"
#include "installer/lumprep.h"
#include "platform/files/files.h"
#include "platform/files/paths.h"
#include "platform/process/loaded_library.h"

namespace lumora::host {
namespace {

constexpr const char* kHelp =
    "usage: lumora-hotsync install-fonts --user NAME (--face FACE --styles N | --some)\n"
    "\n"
    "Converts installed TrueType fonts into handheld font databases and queues them for the\n"
    "HotSync user NAME; the next sync of that user installs them on the handheld.\n"
    "\n"
    "  --face FACE --styles N   the styles of one face; N is a number (0x.. for hex):\n"
    "                           1 regular, 2 bold, 4 bold italic, 8 italic, added up\n"
    "  --some                   Arial, Times New Roman and Verdana in all four styles\n"
    "\n"
    "Fonts are found through fonts.reg in the Windows folder when it exists, else through\n"
    "fontconfig. The library reports nothing: the first font that cannot be found or\n"
    "converted ends the call quietly. The command then prints how many files wait in\n"
    "the user's install queue.\n"
    "Exit status: 0 the library was called, 1 it could not be loaded, 2 usage error.\n";

int usageError(const std::string& message) {
  std::fprintf(stderr, "lumora-hotsync install-fonts: %s\n(see --help)\n", message.c_str());
  return 2;
}

std::optional<uint32_t> parseStyles(const std::string& text) {
  if (text.empty() || text[0] == '-') return std::nullopt;
  errno = 0;
  char* end = nullptr;
  const unsigned long long v = std::strtoull(text.c_str(), &end, 0);
  if (errno != 0 || *end != '\0' || v > 0xFFFFFFFFull) return std::nullopt;
  return static_cast<uint32_t>(v);
}

size_t queuedFiles(const std::string& user) {
  const std::string folder = paths::windowsFolder() + "/HotSync/" + user + "/Install";
  size_t n = 0;
  for (const auto& name : files::fileSystem().find(folder + "/*.*"))
    if (name != "." && name != ".." && !name.starts_with(".")) ++n;
  return n;
}

}  // namespace

int runInstallFonts(int argc, char** argv) {
  ParsedOptions o = parseOptions(argc, argv, {"--user", "--face", "--styles"}, {"--some"});
  if (o.help) {
    std::fputs(kHelp, stdout);
    return 0;
  }
  if (!o.error.empty()) return usageError(o.error);
  auto user = o.value("--user");
  if (!user || user->empty()) return usageError("--user NAME is needed");
  auto face = o.value("--face");
  auto stylesText = o.value("--styles");
  const bool some = o.has("--some");
  if (some == (face.has_value() || stylesText.has_value()))
    return usageError("give either --face FACE --styles N or --some");
  std::optional<uint32_t> styles;
  if (!some) {
    if (!face || face->empty() || !stylesText) return usageError("--face and --styles go together");
    styles = parseStyles(*stylesText);
    if (!styles) return usageError("--styles takes a number from 0 to 0xFFFFFFFF");
  }

  const std::string path = resolveLibrary("lumprep.dll");
  if (path.empty()) {
    std::fprintf(stderr, "lumora-hotsync install-fonts: cannot find lumprep.dll (%s)\n",
                 hostLibraryName("lumprep.dll").c_str());
    return 1;
  }
  process::LoadedLibrary library(path);
  if (!library.loaded()) {
    std::fprintf(stderr, "lumora-hotsync install-fonts: cannot load %s: %s\n", path.c_str(),
                 library.error().c_str());
    return 1;
  }
  std::string userText = *user;
  if (some) {
    auto call = library.symbol<std::remove_pointer_t<QueueSomeTtfsFn>>("queue_some_ttfs");
    if (!call) {
      std::fprintf(stderr, "lumora-hotsync install-fonts: %s has no queue_some_ttfs\n",
                   path.c_str());
      return 1;
    }
    call(userText.data());
  } else {
    auto call = library.symbol<std::remove_pointer_t<QueueTtfFn>>("queue_ttf");
    if (!call) {
      std::fprintf(stderr, "lumora-hotsync install-fonts: %s has no queue_ttf\n", path.c_str());
      return 1;
    }
    std::string faceText = *face;
    call(userText.data(), faceText.data(), *styles);
  }
  std::printf("install-fonts: %zu file(s) in the install queue of %s\n", queuedFiles(*user),
              user->c_str());
  return 0;
}

}  // namespace lumora::host
