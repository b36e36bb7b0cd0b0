// The handheld font database file: a 78-byte header, 8 bytes of record list per record,
// then the font's bytes cut into "DBLK" stream blocks of at most 4096 data bytes.
// The two converter variants differ only in the record count and the unique-ID low byte.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "common/bytes.h"
#include "platform/files/files.h"

namespace lumora::fonts {

enum class Variant { conduit, installer };

inline constexpr size_t kHeaderSize = 78;
inline constexpr size_t kEntrySize = 8;
inline constexpr size_t kBlockHeaderSize = 8;
inline constexpr size_t kBlockDataSize = 4096;
inline constexpr size_t kBlockSize = kBlockHeaderSize + kBlockDataSize;
inline constexpr size_t kNameFieldSize = 32;
inline constexpr uint32_t kMaxRecords = 0xFFFF;

// Beyond these sizes the record count or the record offsets no longer fit their fields.
// The conduit variant stops where its first record offset, 78 + 8n, leaves 16 bits.
inline constexpr uint64_t kConduitMaxFontSize = 33'513'471;
inline constexpr uint64_t kInstallerMaxFontSize = uint64_t{kMaxRecords} * kBlockDataSize;

using NameField = std::array<uint8_t, kNameFieldSize>;

// n: floor(S/4096)+1 for the conduit (a last block of 0 bytes when S is a multiple of
// 4096), ceil(S/4096) for the installer.
uint64_t recordCount(Variant variant, uint64_t fontSize);
bool fitsDatabase(Variant variant, uint64_t fontSize);
// Data length of record i of n for a font of fontSize bytes.
uint32_t recordDataLength(uint64_t fontSize, uint32_t n, uint32_t i);
uint32_t recordOffset(uint32_t n, uint32_t i);
uint8_t uniqueIdLowByte(Variant variant, uint32_t i);

// The header and record list for n records.
Bytes headerAndRecordList(Variant variant, const NameField& name, uint32_t n);

enum class WriteStatus { ok, tooLarge, readFailed, shortRead, writeFailed };

// Writes the whole database for a font of fontSize bytes, reading it front to back.
// Every read must deliver exactly what the layout promises; anything else stops the write.
WriteStatus writeFontDatabase(Variant variant, const NameField& name, uint64_t fontSize,
                              files::InputFile& font, files::OutputFile& out);

}  // namespace lumora::fonts
