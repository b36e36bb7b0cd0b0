#include "common/command_options.h"

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

}  // namespace lumora::host
