#include "platform/process/command_line.h"

#include <gtest/gtest.h>

namespace lumora::process {
namespace {

using Args = std::vector<std::string>;

TEST(SplitCommandLine, WindowsRules) {
  struct Case {
    const char* line;
    Args args;
  } cases[] = {
      {"setup.exe", {"setup.exe"}},
      {"  \tsetup.exe  a  ", {"setup.exe", "a"}},
      {"\"C:\\Program Files\\App\\app.exe\" /s", {"C:\\Program Files\\App\\app.exe", "/s"}},
      {"C:\\dir\\\"x y\"\\p.exe arg", {"C:\\dir\\x y\\p.exe", "arg"}},  // program: quotes only
      {"p \"a b\" c", {"p", "a b", "c"}},
      {"p a\\\\b", {"p", "a\\\\b"}},         // backslashes without a quote are plain
      {"p \"a\\\\\" b", {"p", "a\\", "b"}},  // 2n before a quote: n, and the quote groups
      {"p a\\\"b", {"p", "a\"b"}},           // 2n+1: n and a literal quote
      {"p a\\\\\\\"b", {"p", "a\\\"b"}},     // three backslashes and a quote
      {"p \"\"", {"p", ""}},                 // an empty argument
      {"p \"a\"\"b\"", {"p", "a\"b"}},       // "" inside quotes is a quote
      {"p a\"b c\"d", {"p", "ab cd"}},       // quotes group mid-argument
      {"p \"unterminated arg", {"p", "unterminated arg"}},
      {"\"unterminated program", {"unterminated program"}},
      {"p\ta\tb", {"p", "a", "b"}},
  };
  for (const auto& c : cases) EXPECT_EQ(splitCommandLine(c.line), c.args) << c.line;
}

TEST(SplitCommandLine, NothingToStart) {
  EXPECT_TRUE(splitCommandLine("").empty());
  EXPECT_TRUE(splitCommandLine("   \t ").empty());
  EXPECT_EQ(splitCommandLine("\"\" a"), (Args{"", "a"}));
}

}  // namespace
}  // namespace lumora::process
