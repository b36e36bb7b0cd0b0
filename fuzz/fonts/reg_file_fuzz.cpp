// The fonts.reg reader on arbitrary bytes, then a lookup of every value it found.
#include <cstddef>
#include <cstdint>

#include "platform/registry/reg_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto file = lumora::registry::parseRegFile(lumora::ByteView(data, size));
  if (!file) return 0;
  for (const auto& [path, values] : file->keys) {
    if (file->findKey(path) != &values) __builtin_trap();
    for (const auto& [name, value] : values)
      if (values.find(name) == values.end() || value.data.size() > size * 2 + 8) __builtin_trap();
  }
  return 0;
}
