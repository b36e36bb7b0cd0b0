// The .pdb reader on arbitrary bytes: it must refuse or accept without reading past the
// input, and whatever it accepts must survive a write and a second read unchanged.
#include <cstdlib>

#include "hotsync/format/pdb_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace lumora::hotsync;
  auto parsed = parsePdb(lumora::ByteView(data, size));
  if (!parsed.database) {
    if (parsed.error.empty()) std::abort();
    return 0;
  }
  auto image = serializePdb(*parsed.database);
  if (!image) std::abort();
  auto again = parsePdb(*image);
  if (!again.database || !(*again.database == *parsed.database)) std::abort();
  return 0;
}
