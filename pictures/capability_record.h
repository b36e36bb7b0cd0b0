// The handheld's capability record (record 0 of "LumdexFormatDb") and its narrowing by
// the conduit's bitmap settings.
#pragma once

#include <span>

#include "bitmap/device_capabilities.h"

namespace lumora::pictures {

inline constexpr const char* kFormatDatabase = "LumdexFormatDb";

// Handheld byte order in, host order out. Bytes missing from a short record read as 0.
DeviceCapabilities decodeCapabilityRecord(std::span<const uint8_t> record);

// Density 72 and a smaller depth come from the settings; compression always does.
void narrowCapabilities(DeviceCapabilities& caps, const DeviceCapabilities& accepted);

// Fills caps from the handheld, narrowed by accepted; false (logged) when the format
// database cannot be opened or read. caps is cleared first in every case.
bool readDeviceCapabilities(DeviceCapabilities& caps, const DeviceCapabilities& accepted);

}  // namespace lumora::pictures
