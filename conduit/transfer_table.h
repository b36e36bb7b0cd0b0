// The table through which the dispatch calls the picture transfers (tests replace the
// entries to watch the order of calls).
#pragma once

#include <cstdint>

namespace lumora::conduit {

struct Transfers {
  bool (*copyPicturesToDesktop)(uint32_t type, uint32_t creator, bool overwrite);
  bool (*copyPicturesToHandheld)(uint32_t creator, bool overwrite);
};

// The transfers in use; by default those of the picture exchange.
Transfers& transfers();

}  // namespace lumora::conduit
