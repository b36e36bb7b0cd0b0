#include "pictures/name_flag_blob.h"

#include <algorithm>

namespace lumora::pictures {
namespace {

constexpr size_t kEntriesOffset = 8;
constexpr size_t kEntryHeaderSize = 10;

}  // namespace

std::vector<NameFlagEntry> parseNameFlagBlob(ByteView blob) {
  std::vector<NameFlagEntry> entries;
  auto count = readBe16(blob, 6);
  if (!count) return entries;
  size_t at = kEntriesOffset;
  for (uint32_t i = 0; i < *count; ++i) {
    if (blob.size() - at < kEntryHeaderSize) break;
    uint64_t length = uint64_t{blob[at + 1]} + loadBe32(blob.data() + at + 2);
    uint8_t nameLength = blob[at + 9];
    if (blob.size() - at - kEntryHeaderSize < nameLength) break;
    bool dropped = blob[at + 6] != 0 || blob[at + 7] == 1;
    if (!dropped) {
      NameFlagEntry entry;
      entry.flag = blob[at + 8];
      if (nameLength > 0) {
        const auto* name = reinterpret_cast<const char*>(blob.data() + at + kEntryHeaderSize);
        entry.name.emplace(name, nameLength);
      }
      entries.push_back(std::move(entry));
    }
    // The entry counts as long as its header and name are there, so that its flag holds
    // even when its length leaves no room for another (or, at 0, would repeat it).
    if (length == 0 || length > blob.size() - at) break;
    at += static_cast<size_t>(length);
  }
  return entries;
}

Bytes writtenBackBlob(ByteView blob, const std::vector<std::string>& created) {
  Bytes out(blob.begin(), blob.end());
  if (out.size() >= 6) storeBe32(out.data() + 2, loadBe32(out.data() + 2) | kWrittenBackFlag);
  size_t count = std::min(created.size(), kMaxCreatedNames);
  appendBe16(out, static_cast<uint16_t>(count));
  for (size_t i = 0; i < count; ++i) {
    std::string_view name = created[i];
    name = name.substr(0, std::min<size_t>(name.size(), 255));
    appendU8(out, static_cast<uint8_t>(name.size()));
    appendText(out, name);
  }
  return out;
}

}  // namespace lumora::pictures
