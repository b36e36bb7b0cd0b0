#include "fonts/font_database.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace lumora::fonts {
namespace {

constexpr uint32_t kAttributes = 0x0080;  // file-stream database
constexpr uint32_t kCreationDate = 0xBAADFDCD;
constexpr uint32_t kModificationDate = 0xBAADFDCE;
constexpr uint32_t kModificationNumber = 54;
constexpr uint8_t kRecordAttributes = 0x40;  // dirty
constexpr uint8_t kUniqueIdHigh = 0xD5;
constexpr uint8_t kUniqueIdMiddle = 0x40;
// Records are read and written this many at a time through one reused buffer.
constexpr uint32_t kBatchRecords = 16;

}  // namespace

uint64_t recordCount(Variant variant, uint64_t fontSize) {
  if (variant == Variant::conduit) return fontSize / kBlockDataSize + 1;
  return (fontSize + kBlockDataSize - 1) / kBlockDataSize;
}

bool fitsDatabase(Variant variant, uint64_t fontSize) {
  return fontSize <= (variant == Variant::conduit ? kConduitMaxFontSize : kInstallerMaxFontSize);
}

uint32_t recordDataLength(uint64_t fontSize, uint32_t n, uint32_t i) {
  if (i + 1 < n) return kBlockDataSize;
  // The last record takes what is left: S mod 4096 for the conduit rule (0 when S is a
  // multiple), 1 to 4096 for the installer rule; both are S - 4096 (n - 1).
  return static_cast<uint32_t>(fontSize - uint64_t{kBlockDataSize} * (n - 1));
}

uint32_t recordOffset(uint32_t n, uint32_t i) {
  return static_cast<uint32_t>(kHeaderSize + kEntrySize * n + kBlockSize * i);
}

uint8_t uniqueIdLowByte(Variant variant, uint32_t i) {
  return static_cast<uint8_t>(variant == Variant::conduit ? i + 1 : 2 * i);
}

Bytes headerAndRecordList(Variant variant, const NameField& name, uint32_t n) {
  Bytes out;
  out.reserve(kHeaderSize + kEntrySize * n);
  out.insert(out.end(), name.begin(), name.end());
  appendBe16(out, kAttributes);
  appendBe16(out, 0);  // version
  appendBe32(out, kCreationDate);
  appendBe32(out, kModificationDate);
  appendBe32(out, 0);  // last backup
  appendBe32(out, kModificationNumber);
  appendBe32(out, 0);  // app-info block
  appendBe32(out, 0);  // sort-info block
  appendText(out, "ttfn");
  appendText(out, "TTFt");
  appendText(out, "mP, ");  // unique-ID seed
  appendBe32(out, 0);       // next record list
  appendBe16(out, static_cast<uint16_t>(n));
  for (uint32_t i = 0; i < n; ++i) {
    appendBe32(out, recordOffset(n, i));
    appendU8(out, kRecordAttributes);
    appendU8(out, kUniqueIdHigh);
    appendU8(out, kUniqueIdMiddle);
    appendU8(out, uniqueIdLowByte(variant, i));
  }
  return out;
}

WriteStatus writeFontDatabase(Variant variant, const NameField& name, uint64_t fontSize,
                              files::InputFile& font, files::OutputFile& out) {
  if (!fitsDatabase(variant, fontSize)) return WriteStatus::tooLarge;
  const auto n = static_cast<uint32_t>(recordCount(variant, fontSize));
  Bytes head = headerAndRecordList(variant, name, n);
  if (!out.write(head.data(), head.size())) return WriteStatus::writeFailed;

  std::vector<uint8_t> data(kBatchRecords * kBlockDataSize);
  std::vector<uint8_t> blocks(kBatchRecords * kBlockSize);
  for (uint32_t first = 0; first < n; first += kBatchRecords) {
    const uint32_t count = std::min(kBatchRecords, n - first);
    size_t wanted = 0;
    for (uint32_t k = 0; k < count; ++k) wanted += recordDataLength(fontSize, n, first + k);
    if (wanted > 0) {
      auto got = font.read(data.data(), wanted);
      if (!got) return WriteStatus::readFailed;
      if (*got != wanted) return WriteStatus::shortRead;
    }
    size_t from = 0, to = 0;
    for (uint32_t k = 0; k < count; ++k) {
      const uint32_t length = recordDataLength(fontSize, n, first + k);
      uint8_t* block = blocks.data() + to;
      std::memcpy(block, "DBLK", 4);
      storeBe16(block + 4, 0);
      storeBe16(block + 6, static_cast<uint16_t>(length));
      std::memcpy(block + kBlockHeaderSize, data.data() + from, length);
      from += length;
      to += kBlockHeaderSize + length;
    }
    if (!out.write(blocks.data(), to)) return WriteStatus::writeFailed;
  }
  return WriteStatus::ok;
}

}  // namespace lumora::fonts
