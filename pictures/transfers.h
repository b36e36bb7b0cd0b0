// The two picture transfers that a HotSync runs.
#pragma once

#include <cstdint>

#include "pictures/transfer_options.h"

namespace lumora::pictures {

// Handheld to desktop, for one database type and creator; false when the sync folder is
// missing.
bool copyPicturesToDesktop(const TransferOptions& options, uint32_t type, uint32_t creator,
                           bool overwrite);
// Desktop to handheld; false when the pass did not start.
bool copyPicturesToHandheld(const TransferOptions& options, uint32_t creator, bool overwrite);

}  // namespace lumora::pictures
