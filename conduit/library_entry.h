// The library's process attach and detach and the state they keep. The platform's entry
// (library_entry_linux.cpp: constructor and destructor; library_entry_win32.cpp: DllMain)
// calls them.
#pragma once

#include <cstdint>

namespace lumora::conduit {

// Reads the settings anew at every attach; remembers module at the first.
void processAttach(const void* module);
void processDetach();

// The name-flag list is written back when the library unloads. A HotSync Manager unloads
// it after OpenConduit has returned, outside the session and under the loader lock, where
// no Sync Manager call can succeed; so on Windows it is written back at the end of
// OpenConduit instead, with the same content (one HotSync per load).
inline constexpr bool kWriteBackInSession =
#if defined(_WIN32)
    true;
#else
    false;
#endif

// The library's own module (set at the first attach) and the attach balance.
const void* moduleHandle();
int32_t attachCount();

}  // namespace lumora::conduit
