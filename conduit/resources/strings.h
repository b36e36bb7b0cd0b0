// The conduit's string resources.
#pragma once

#include <cstdint>
#include <span>

#include "platform/resources/string_table.h"

namespace lumora::conduit {

enum StringId : uint32_t {
  kStrDisplayName = 1,
  kStrCurrentSettings = 8004,
  kStrSyncFiles = 8005,
  kStrDesktopOverwrites = 8006,
  kStrHandheldOverwrites = 8007,
  kStrDoNothing = 8008,
  kStrActionGroup = 8009,
};

std::span<const resources::StringResource> stringTable();

// LoadString over the conduit's table.
int loadString(uint32_t id, char* buffer, int capacity);

}  // namespace lumora::conduit
