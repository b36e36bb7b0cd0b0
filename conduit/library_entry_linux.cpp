// The library's process attach and detach: the constructor and destructor of the shared
// object stand for the notifications a Windows library receives.
#include "conduit/library_entry.h"

namespace {

__attribute__((constructor)) void onProcessAttach() {
  lumora::conduit::processAttach(reinterpret_cast<const void*>(&onProcessAttach));
}

__attribute__((destructor)) void onProcessDetach() {
  lumora::conduit::processDetach();
}

}  // namespace
