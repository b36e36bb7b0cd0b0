// A small parser for "--name value" and "--flag" options of the host's sub-commands.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

namespace lumora::host {

struct ParsedOptions {
  std::map<std::string, std::vector<std::string>> values;  // option -> values in order
  std::set<std::string> flags;
  std::vector<std::string> positional;
  bool help = false;
  std::string error;  // non-empty when the command line is wrong

  std::optional<std::string> value(const std::string& name) const {
    auto it = values.find(name);
    if (it == values.end() || it->second.empty()) return std::nullopt;
    return it->second.back();
  }
  bool has(const std::string& flag) const { return flags.count(flag) != 0; }
};

// valued: options that take a value; switches: options without one. "--help"/"-h" is
// always known. argv[0] is the sub-command.
ParsedOptions parseOptions(int argc, char** argv, const std::set<std::string>& valued,
                           const std::set<std::string>& switches, size_t maxPositional = 0);

// A program of sub-commands: "PROGRAM COMMAND ...". Prints usage for no command (to stderr,
// 2) and for --help, -h, help (to stdout, 0), the version for --version, runs the named
// command with argv[0] its name, and refuses an unknown one (2).
struct Command {
  const char* name;
  int (*run)(int argc, char** argv);
};
int runCommand(const char* program, const char* usage, std::span<const Command> commands, int argc,
               char** argv);

}  // namespace lumora::host
