// The conduit registry: one section per creator in an ini file, e.g.
//   [LmDx]
//   Type=1
//   Library=lumsync.dll
//   Directory=Lumdir
//   Title=Lumora 2004
// A creator counts as registered while its section exists. Results are the conduit
// manager's codes (hotsync.h).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lumora::hotsync {

// Four printable ASCII characters that an ini section name can hold.
bool isValidCreator(std::string_view creator);

class ConduitRegistry {
 public:
  explicit ConduitRegistry(std::string path) : path_(std::move(path)) {}

  // 0; CM_ERR_ALREADY_REGISTERED; CM_ERR_STORAGE; CM_ERR_INVALID_CREATOR.
  int32_t add(std::string_view creator, int32_t type);
  // 0; CM_ERR_NOT_REGISTERED; CM_ERR_STORAGE, also for a value that would break the file
  // (line breaks); CM_ERR_INVALID_CREATOR.
  int32_t set(std::string_view creator, std::string_view key, std::string_view value);
  // 0 when removed; CM_ERR_NOT_REGISTERED (negative) when there was nothing to remove;
  // positive codes for failures (SYNC_ERR_STORAGE, SYNC_ERR_BAD_ARG), so that callers
  // taking "1 or less" as done never mistake a failure for success.
  int32_t remove(std::string_view creator);
  // 0 with the value (empty when the key is absent); CM_ERR_NOT_REGISTERED; CM_ERR_STORAGE;
  // CM_ERR_INVALID_CREATOR.
  int32_t get(std::string_view creator, std::string_view key, std::string& value);

 private:
  // The file's text, empty when it does not exist; nullopt when it cannot be read.
  std::optional<std::string> load() const;
  bool save(const std::string& text) const;

  std::string path_;
};

}  // namespace lumora::hotsync
