#include "platform/resources/string_table.h"

#include <cstring>

namespace lumora::resources {

int loadString(std::span<const StringResource> table, uint32_t id, char* buffer, int capacity) {
  if (!buffer || capacity <= 0) return 0;
  buffer[0] = '\0';
  for (const StringResource& r : table) {
    if (r.id != id) continue;
    size_t len = std::strlen(r.text);
    size_t n = len < static_cast<size_t>(capacity - 1) ? len : static_cast<size_t>(capacity - 1);
    std::memcpy(buffer, r.text, n);
    buffer[n] = '\0';
    return static_cast<int>(n);
  }
  return 0;
}

}  // namespace lumora::resources
