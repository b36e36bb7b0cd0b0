// The process-wide list of picture names and their flags from the handheld's picture info
// database, plus the names of the picture databases created in this process. Loaded on
// first use; written back to the handheld when the library unloads.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/bytes.h"
#include "pictures/name_flag_blob.h"

namespace lumora::pictures {

inline constexpr const char* kInfoDatabase = "Sketvia_InfoDB";
inline constexpr uint32_t kInfoType = fourCC("iidb");

class NameFlagList {
 public:
  // The singleton; the first call loads it from the handheld.
  static NameFlagList& instance();
  // Writes the singleton back now and drops it, so that the next instance() loads anew
  // (what unloading the library does; for tests, which link the library statically).
  static void writeBackAndReset();

  // An empty list; load() fills it from the connected handheld.
  NameFlagList() = default;
  void load();
  // Writes the picture info database back when one was loaded. Logs nothing.
  void writeBack() const;

  // The flag of the first entry named exactly name; 1 when none is.
  uint8_t flagFor(std::string_view name) const;
  void addCreated(std::string_view name);

  const std::vector<NameFlagEntry>& entries() const { return entries_; }
  const std::vector<std::string>& created() const { return created_; }
  uint16_t createdBytes() const { return createdBytes_; }
  bool hasBlob() const { return blob_.has_value(); }

 private:
  std::vector<NameFlagEntry> entries_;
  std::vector<std::string> created_;
  uint16_t createdBytes_ = 0;
  bool overflowLogged_ = false;
  std::optional<Bytes> blob_;
};

}  // namespace lumora::pictures
