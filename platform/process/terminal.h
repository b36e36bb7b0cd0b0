// What the program's standard output is: a terminal (where a line can be redrawn) or not.
#pragma once

#include <cstddef>

namespace lumora::process {

bool stdoutIsTerminal();
// Columns a line may use on the terminal without wrapping (one fewer than its width, so
// that the cursor never moves to the next line); 79 when it cannot be told.
size_t terminalColumns();

}  // namespace lumora::process
