#include "host/bitmap/options.h"

#include <charconv>

namespace lumora::bitmaptool {

Arguments parseArguments(const std::vector<std::string>& args, const std::set<std::string>& valued,
                         const std::set<std::string>& switches) {
  Arguments out;
  bool optionsEnded = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (optionsEnded || a.size() < 2 || a[0] != '-') {
      out.positional.push_back(a);
      continue;
    }
    if (a == "--") {
      optionsEnded = true;
      continue;
    }
    if (a == "--help" || a == "-h") {
      out.help = true;
      continue;
    }
    std::string name = a;
    std::optional<std::string> inlineValue;
    if (auto eq = a.find('='); eq != std::string::npos) {
      name = a.substr(0, eq);
      inlineValue = a.substr(eq + 1);
    }
    if (valued.count(name)) {
      if (inlineValue) {
        out.values[name] = *inlineValue;
      } else if (i + 1 < args.size()) {
        out.values[name] = args[++i];
      } else if (out.error.empty()) {
        out.error = "option " + name + " needs a value";
      }
    } else if (switches.count(name) && !inlineValue) {
      out.flags.insert(name);
    } else if (out.error.empty()) {
      out.error = "unknown option " + a;
    }
  }
  return out;
}

std::optional<int64_t> parseInteger(std::string_view text, int64_t min, int64_t max) {
  int64_t v = 0;
  const char* first = text.data();
  const char* last = text.data() + text.size();
  auto [end, ec] = std::from_chars(first, last, v);
  if (text.empty() || ec != std::errc() || end != last || v < min || v > max) return std::nullopt;
  return v;
}

}  // namespace lumora::bitmaptool
