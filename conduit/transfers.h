// The two picture transfers that a HotSync runs, and the table through which the
// dispatch calls them (tests replace the entries to watch the order of calls).
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

namespace lumora::pictures {

// Handheld to desktop, for one database type and creator; false when the sync folder is
// missing.
bool copyPicturesToDesktop(uint32_t type, uint32_t creator, bool overwrite);
// Desktop to handheld; false when the pass did not start.
bool copyPicturesToHandheld(uint32_t creator, bool overwrite);

}  // namespace lumora::pictures
