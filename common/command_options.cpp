#include "common/command_options.h"

#include <cstdio>

#include "common/program_version.h"

namespace lumora::host {

ParsedOptions parseOptions(int argc, char** argv, const std::set<std::string>& valued,
                           const std::set<std::string>& switches, size_t maxPositional) {
  ParsedOptions out;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      out.help = true;
      continue;
    }
    if (arg.rfind("--", 0) == 0) {
      std::string name = arg;
      std::optional<std::string> inlineValue;
      if (auto eq = arg.find('='); eq != std::string::npos) {
        name = arg.substr(0, eq);
        inlineValue = arg.substr(eq + 1);
      }
      if (valued.count(name)) {
        if (inlineValue) {
          out.values[name].push_back(*inlineValue);
        } else if (i + 1 < argc) {
          out.values[name].push_back(argv[++i]);
        } else {
          out.error = "option " + name + " needs a value";
          return out;
        }
        continue;
      }
      if (switches.count(name) && !inlineValue) {
        out.flags.insert(name);
        continue;
      }
      out.error = "unknown option " + arg;
      return out;
    }
    if (out.positional.size() >= maxPositional) {
      out.error = "unexpected argument " + arg;
      return out;
    }
    out.positional.push_back(arg);
  }
  return out;
}

int runCommand(const char* program, const char* usage, std::span<const Command> commands, int argc,
               char** argv) {
  if (argc < 2) {
    std::fputs(usage, stderr);
    return 2;
  }
  const std::string command = argv[1];
  if (command == "--help" || command == "-h" || command == "help") {
    std::fputs(usage, stdout);
    return 0;
  }
  if (command == "--version") return printVersion(program);
  for (const Command& c : commands)
    if (command == c.name) return c.run(argc - 1, argv + 1);
  std::fprintf(stderr, "%s: unknown command '%s'\n\n%s", program, command.c_str(), usage);
  return 2;
}

}  // namespace lumora::host
