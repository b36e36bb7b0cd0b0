// Command-line parsing for lumora-bitmap: "--name value", "--name=value" and "--flag".
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace lumora::bitmaptool {

struct Arguments {
  std::map<std::string, std::string> values;  // the last value given wins
  std::set<std::string> flags;
  std::vector<std::string> positional;
  bool help = false;
  std::string error;  // non-empty when the command line is wrong
};

// args excludes the program and sub-command names. "--help" and "-h" are always known;
// "--" ends the options.
Arguments parseArguments(const std::vector<std::string>& args, const std::set<std::string>& valued,
                         const std::set<std::string>& switches);

// A whole decimal integer within [min, max]; nullopt for anything else.
std::optional<int64_t> parseInteger(std::string_view text, int64_t min, int64_t max);

}  // namespace lumora::bitmaptool
