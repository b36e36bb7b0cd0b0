// The install aide: files queued for a HotSync user wait in the user's install folder
// (user_paths.h) until the next HotSync installs them into the handheld.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

namespace lumora::hotsync {

class Handheld;

// Copies the file (Windows path text or host path) into the user's queue under its own
// base name, replacing a queued file of that name. 0; SYNC_ERR_BAD_ARG for an unusable
// user or file name; SYNC_ERR_NOT_FOUND when the file cannot be read; SYNC_ERR_STORAGE
// when the queue cannot be written.
int32_t queueFile(std::string_view userName, std::string_view filePath);

using RejectFn = std::function<void(const std::string& fileName, const std::string& reason)>;

// Installs each queued file into the handheld and removes it from the queue; a file that is no
// database, or that cannot be stored, stays queued and is passed to reject. Returns the
// number installed.
int32_t installQueued(std::string_view userName, Handheld& handheld, const RejectFn& reject);

}  // namespace lumora::hotsync
