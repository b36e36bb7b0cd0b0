// Windows command-line splitting.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace lumora::process {

// Splits as Windows programs see their arguments. The first token is the program: quotes
// group, backslashes are plain. The others follow the C runtime rules: 2n backslashes
// before a quote give n and the quote groups, 2n+1 give n and a literal quote, other
// backslashes are plain, and "" inside quotes is a literal quote. Spaces and tabs separate.
std::vector<std::string> splitCommandLine(std::string_view line);

}  // namespace lumora::process
