// Field offsets of the 352-byte configuration record (little-endian 32-bit fields).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "common/bytes.h"

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

// The record as a host fills it in and reads it back around CfgConduit.
struct HostRecord {
  static constexpr uint32_t kNotChosen = 0xFFFFFFFF;
  std::string userName;  // at most kUserNameSize - 1 characters
  uint32_t defaultSyncType = 0, nextSyncType = 0;
  uint32_t chosenSyncType = kNotChosen;  // as the dialog's OK leaves them
  uint32_t choiceScope = 0;
};

// Writes a version 1 record of recordSize bytes that asks for the user's current settings.
inline void writeHostRecord(const HostRecord& r, uint8_t* rec, uint32_t recordSize) {
  storeLe32(rec + kVersion, 1);
  storeLe32(rec + kSize, recordSize);
  storeLe32(rec + kIdentifier, 1);
  r.userName.copy(reinterpret_cast<char*>(rec + kUserName), kUserNameSize - 1);
  storeLe32(rec + kDefaultSyncType, r.defaultSyncType);
  storeLe32(rec + kNextSyncType, r.nextSyncType);
  storeLe32(rec + kChosenSyncType, r.chosenSyncType);
  storeLe32(rec + kChoiceScope, r.choiceScope);
}

// The dialog's choice: the chosen sync type and its scope.
inline void readHostChoice(const uint8_t* rec, HostRecord& r) {
  r.chosenSyncType = loadLe32(rec + kChosenSyncType);
  r.choiceScope = loadLe32(rec + kChoiceScope);
}

// The user name up to its terminator, never past the field (at most 63 characters when
// the field holds no terminator, as the name request copies it).
std::string userName(const uint8_t* rec);

}  // namespace lumora::conduit::record
