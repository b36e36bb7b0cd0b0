// What the simulated handheld keeps between syncs beside its databases: its user (name,
// ids, last sync dates), as a small text file in the handheld folder. The file's name does
// not end in .pdb, so the store never takes it for a database.
#pragma once

#include <string>
#include <string_view>

#include "hotsync/link/dlp_server.h"

namespace lumora::host {

inline constexpr const char* kHandheldStateFile = ".handheld.ini";

// Lines "Key=Value" under "[User]"; unknown keys and lines that cannot be read are left
// out, so a damaged file gives a handheld without those fields, never a failure.
link::HandheldUser parseHandheldState(std::string_view text);
std::string formatHandheldState(const link::HandheldUser& user);

// The file at path; a handheld without a user when it is missing or cannot be read.
link::HandheldUser loadHandheldState(const std::string& path);
// Written atomically; false when it could not be.
bool saveHandheldState(const std::string& path, const link::HandheldUser& user);

}  // namespace lumora::host
