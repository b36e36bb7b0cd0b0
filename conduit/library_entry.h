// The library's process attach and detach and the state they keep. The platform's entry
// (library_entry_linux.cpp: constructor and destructor; library_entry_win32.cpp: DllMain)
// calls them.
#pragma once

#include <cstdint>

namespace lumora::conduit {

// Reads the settings anew at every attach; remembers module at the first.
void processAttach(const void* module);
void processDetach();

// The library's own module (set at the first attach) and the attach balance.
const void* moduleHandle();
int32_t attachCount();

}  // namespace lumora::conduit
