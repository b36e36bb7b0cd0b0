// The Windows command-line splitter on arbitrary text: it never produces more text than it
// was given, and a line of plain words splits back into those words.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/process/command_line.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view line(reinterpret_cast<const char*>(data), size);
  auto args = lumora::process::splitCommandLine(line);
  size_t total = 0;
  for (const auto& a : args) total += a.size();
  if (total > size) __builtin_trap();
  if (args.size() > size / 2 + 1) __builtin_trap();

  // Joining the words with single spaces and splitting again gives them back when no
  // word holds a quote, backslash or blank.
  std::string joined;
  bool plain = !args.empty();
  for (const auto& a : args) {
    if (a.empty() || a.find_first_of("\"\\ \t") != std::string::npos) plain = false;
    joined += (joined.empty() ? "" : " ") + a;
  }
  if (plain && lumora::process::splitCommandLine(joined) != args) __builtin_trap();
  return 0;
}
