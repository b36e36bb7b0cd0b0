// String resources: a table compiled into the library, read with LoadString's rules.
#pragma once

#include <cstdint>
#include <span>

namespace lumora::resources {

struct StringResource {
  uint32_t id;
  const char* text;
};

// Copies at most capacity - 1 characters of string id and a terminator into buffer and
// returns the number of characters copied; 0 (and an empty buffer) when id is missing.
int loadString(std::span<const StringResource> table, uint32_t id, char* buffer, int capacity);

}  // namespace lumora::resources
