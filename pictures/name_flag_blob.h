// The info blob of "Sketvia_InfoDB": a header with flag bits and an entry count, then
// entries naming pictures with a flag byte. Parsing never reads past the blob.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/bytes.h"

namespace lumora::pictures {

struct NameFlagEntry {
  std::optional<std::string> name;  // absent when the stored length is 0
  uint8_t flag = 1;
};

inline constexpr uint32_t kWrittenBackFlag = 0x00000004;
inline constexpr size_t kMaxCreatedNames = 255;

// The accepted entries in stored order. An entry whose header and name lie in the blob
// counts; the walk ends after an entry of length 0 or one that runs past the blob, and
// when the blob ends before entryCount entries.
std::vector<NameFlagEntry> parseNameFlagBlob(ByteView blob);

// The blob as read with the written-back flag set, then the created names: a big-endian
// 16-bit count, then each name as a length byte and its characters. Names beyond 255,
// and characters beyond 255 of a name, are left out.
Bytes writtenBackBlob(ByteView blob, const std::vector<std::string>& created);

}  // namespace lumora::pictures
