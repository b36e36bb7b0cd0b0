// Field offsets of the 352-byte configuration record (little-endian 32-bit fields).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace lumora::conduit::record {

inline constexpr size_t kVersion = 0;
inline constexpr size_t kSize = 4;
inline constexpr size_t kIdentifier = 8;  // non-zero: show the user's current settings
inline constexpr size_t kSecondIdentifier = 12;
inline constexpr size_t kUserName = 16;
inline constexpr size_t kUserNameSize = 64;
inline constexpr size_t kDefaultSyncType = 336;
inline constexpr size_t kNextSyncType = 340;
inline constexpr size_t kChosenSyncType = 344;
inline constexpr size_t kChoiceScope = 348;

inline constexpr uint32_t kScopeDefaultAndNext = 1;
inline constexpr uint32_t kScopeNextOnly = 2;

// The user name up to its terminator, never past the field (at most 63 characters when
// the field holds no terminator, as the name request copies it).
std::string userName(const uint8_t* rec);

}  // namespace lumora::conduit::record
