// Ctrl-C (and SIGTERM where there is one) for serve, one file per platform.
#pragma once

namespace lumora::host {

// Calls handler on Ctrl-C and SIGTERM; a wait they interrupt is not restarted, so that a
// session ends promptly. A closed peer does not end the program.
void catchStopSignals(void (*handler)(int));

}  // namespace lumora::host
