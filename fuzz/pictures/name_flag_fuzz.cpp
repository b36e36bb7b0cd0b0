// Feeds arbitrary bytes to the name-flag blob parser and the write-back layout: neither
// may read past the blob, and the written-back blob must keep the parsed entries.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "pictures/name_flag_blob.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  lumora::ByteView blob(data, size);
  auto entries = lumora::pictures::parseNameFlagBlob(blob);
  std::vector<std::string> created;
  for (const auto& e : entries) {
    if (e.name) created.push_back(*e.name);
  }
  lumora::Bytes out = lumora::pictures::writtenBackBlob(blob, created);
  // The trailer only appends, so the entries read the same from the written-back blob.
  auto again = lumora::pictures::parseNameFlagBlob(out);
  if (again.size() < entries.size()) std::abort();
  return 0;
}
