#include "platform/process/command_line.h"

namespace lumora::process {
namespace {

bool isBlank(char c) {
  return c == ' ' || c == '\t';
}

}  // namespace

std::vector<std::string> splitCommandLine(std::string_view s) {
  std::vector<std::string> out;
  size_t i = 0;
  while (i < s.size() && isBlank(s[i])) ++i;
  if (i == s.size()) return out;

  std::string program;
  bool quoted = false;
  for (; i < s.size(); ++i) {
    if (s[i] == '"') {
      quoted = !quoted;
    } else if (!quoted && isBlank(s[i])) {
      break;
    } else {
      program += s[i];
    }
  }
  out.push_back(std::move(program));

  while (true) {
    while (i < s.size() && isBlank(s[i])) ++i;
    if (i == s.size()) break;
    std::string arg;
    quoted = false;
    while (i < s.size()) {
      const char c = s[i];
      if (!quoted && isBlank(c)) break;
      if (c == '\\') {
        size_t count = 0;
        while (i < s.size() && s[i] == '\\') {
          ++count;
          ++i;
        }
        if (i < s.size() && s[i] == '"') {
          arg.append(count / 2, '\\');
          if (count % 2 == 1) {
            arg += '"';
            ++i;
          }
        } else {
          arg.append(count, '\\');
        }
      } else if (c == '"') {
        if (quoted && i + 1 < s.size() && s[i + 1] == '"') {
          arg += '"';
          i += 2;
        } else {
          quoted = !quoted;
          ++i;
        }
      } else {
        arg += c;
        ++i;
      }
    }
    out.push_back(std::move(arg));
  }
  return out;
}

}  // namespace lumora::process
