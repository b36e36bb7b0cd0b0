// Registry exports in the regedit text format ("REGEDIT4" or "Windows Registry Editor
// Version 5.00", UTF-16LE or single-byte text), read only.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/bytes.h"

namespace lumora::registry {

struct RegValue {
  uint32_t type = 0;
  Bytes data;  // strings as single-byte text with their terminating zero
};

// ASCII case-insensitive ordering: key and value names are case-insensitive.
struct NoCaseLess {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const;
};

using RegValues = std::map<std::string, RegValue, NoCaseLess>;

struct RegFile {
  std::map<std::string, RegValues, NoCaseLess> keys;  // full key path -> values

  const RegValues* findKey(std::string_view path) const;
};

// Parses an export. nullopt when the text does not start with a regedit header; lines that
// cannot be read are skipped, as regedit does.
std::optional<RegFile> parseRegFile(ByteView bytes);

}  // namespace lumora::registry
