// lumora-bitmap: converts between desktop .bmp files and handheld bitmaps.
#include <cstdio>
#include <string>
#include <vector>

#include "common/program_version.h"
#include "host/bitmap/commands.h"

namespace {

constexpr const char* kUsage =
    "usage: lumora-bitmap COMMAND [options]\n"
    "\n"
    "Converts between desktop .bmp files and handheld bitmaps, as the conduit does.\n"
    "\n"
    "commands:\n"
    "  encode IN.bmp OUT [--depth D] [--max-width W] [--max-height H] [--density N]\n"
    "                    [--compression C]    picture file (.bmp, JPEG, PNG, HEIF) to\n"
    "                                         handheld bitmap\n"
    "  decode IN OUT.bmp [--overwrite]        handheld bitmap to 24-bit .bmp file\n"
    "  preview IN OUT.png [--zoom N] [encode's options]\n"
    "                                         the picture as the handheld shows it\n"
    "  info FILE                              header fields, or a photo's format, size\n"
    "                                         and orientation\n"
    "\n"
    "Run 'lumora-bitmap COMMAND --help' for a command's details; --version prints the\n"
    "version.\n"
    "Exit status: 0 done, 1 picture or bitmap refused, 2 usage or I/O error.\n";

}  // namespace

namespace lumora::bitmaptool {

void complain(const std::string& message) {
  std::fprintf(stderr, "lumora-bitmap: %s\n", message.c_str());
}

}  // namespace lumora::bitmaptool

int main(int argc, char** argv) {
  using namespace lumora::bitmaptool;
  if (argc < 2) {
    std::fputs(kUsage, stderr);
    return kUsageOrIo;
  }
  const std::string command = argv[1];
  if (command == "--help" || command == "-h" || command == "help") {
    std::fputs(kUsage, stdout);
    return kDone;
  }
  if (command == "--version") return lumora::printVersion("lumora-bitmap");
  const std::vector<std::string> args(argv + 2, argv + argc);
  if (command == "encode") return runEncode(args);
  if (command == "decode") return runDecode(args);
  if (command == "info") return runInfo(args);
  if (command == "preview") return runPreview(args);
  complain("unknown command '" + command + "'");
  std::fputs(kUsage, stderr);
  return kUsageOrIo;
}
