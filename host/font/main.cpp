// lumora-font: converts a TrueType file into a handheld font database file, or converts and
// queues it for a HotSync user, by either converter variant's rules.
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "common/program_version.h"
#include "fonts/conduit_converter.h"
#include "fonts/installer_converter.h"

namespace {

constexpr int kDone = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

const char kHelp[] =
    "Usage:\n"
    "  lumora-font convert IN.ttf OUT.pdb [--variant conduit|installer]\n"
    "  lumora-font queue IN.ttf --user NAME [--variant conduit|installer]\n"
    "\n"
    "convert  writes the font database file the variant would queue, named after IN\n"
    "         (conduit: the file name, over 32 characters cut to 28 and \".ttf\";\n"
    "         installer: the file name, 1 to 33 characters).\n"
    "queue    converts IN and queues the database with the install aide for the HotSync\n"
    "         user NAME; the next sync of that user installs it on the handheld.\n"
    "         The conduit variant writes its file in the current directory, the installer\n"
    "         variant in the temporary folder; both delete it afterwards.\n"
    "\n"
    "The variant is \"installer\" unless given. Exit status: 0 done, 1 the font was\n"
    "refused or could not be converted or queued (the reason is printed), 2 usage error.\n"
    "lumora-font --version prints the version.\n";

enum class Variant { conduit, installer };

struct Options {
  std::string command;
  std::vector<std::string> positional;
  std::optional<std::string> user;
  Variant variant = Variant::installer;
  bool help = false;
};

int usage(const std::string& message) {
  std::fprintf(stderr, "lumora-font: %s\n(see lumora-font --help)\n", message.c_str());
  return kUsage;
}

// Returns an error message, or an empty string when the options are good.
std::string parse(int argc, char** argv, Options& o) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      o.help = true;
    } else if (arg == "--variant" || arg == "--user") {
      if (i + 1 >= argc) return arg + " needs a value";
      const std::string value = argv[++i];
      if (arg == "--user") {
        o.user = value;
      } else if (value == "conduit") {
        o.variant = Variant::conduit;
      } else if (value == "installer") {
        o.variant = Variant::installer;
      } else {
        return "unknown variant \"" + value + "\" (conduit or installer)";
      }
    } else if (arg.starts_with("--")) {
      return "unknown option " + arg;
    } else if (o.command.empty()) {
      o.command = arg;
    } else {
      o.positional.push_back(arg);
    }
  }
  return {};
}

int convert(const Options& o) {
  if (o.positional.size() != 2) return usage("convert takes IN.ttf and OUT.pdb");
  if (o.user) return usage("convert takes no --user");
  const std::string& in = o.positional[0];
  const std::string& out = o.positional[1];
  if (o.variant == Variant::conduit) {
    // The conduit variant reports through its message boxes, shown here on standard error.
    return lumora::fonts::conduit::writeDatabase(in, out, nullptr) ? kDone : kFailed;
  }
  auto status = lumora::fonts::installer::writeDatabase(in, out);
  if (!status.ok()) {
    std::fprintf(stderr, "lumora-font: %s\n", status.reason.c_str());
    return kFailed;
  }
  return kDone;
}

int queue(const Options& o) {
  if (o.positional.size() != 1) return usage("queue takes one IN.ttf");
  if (!o.user || o.user->empty()) return usage("queue needs --user NAME");
  const std::string& in = o.positional[0];
  if (o.variant == Variant::conduit)
    return lumora::fonts::conduit::convertAndQueueFont(in, *o.user, nullptr) ? kDone : kFailed;
  auto status = lumora::fonts::installer::convertAndQueueFont(in, *o.user);
  if (!status.ok()) {
    std::fprintf(stderr, "lumora-font: %s\n", status.reason.c_str());
    return kFailed;
  }
  return kDone;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0)
    return lumora::printVersion("lumora-font");
  Options o;
  const std::string error = parse(argc, argv, o);
  if (o.help) {
    std::fputs(kHelp, stdout);
    return kDone;
  }
  if (!error.empty()) return usage(error);
  if (o.command == "convert") return convert(o);
  if (o.command == "queue") return queue(o);
  if (o.command.empty()) return usage("no command given");
  return usage("unknown command \"" + o.command + "\"");
}
