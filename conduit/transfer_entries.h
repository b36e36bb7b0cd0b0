// The picture transfers as the dispatch runs them: with the loaded conduit's settings
// handed to them as their options.
#pragma once

#include <cstdint>

#include "bitmap/device_capabilities.h"
#include "pictures/transfer_options.h"

namespace lumora::conduit {

struct ConduitSettings;

pictures::TransferOptions transferOptions(const ConduitSettings& settings);

}  // namespace lumora::conduit

namespace lumora::pictures {

// The transfers and the capability read with the loaded conduit's settings (settings()).
bool copyPicturesToDesktop(uint32_t type, uint32_t creator, bool overwrite);
bool copyPicturesToHandheld(uint32_t creator, bool overwrite);
bool readDeviceCapabilities(DeviceCapabilities& caps);

}  // namespace lumora::pictures
