// File operations on host paths for the HotSync stand-in's store and logs. Files are
// opened without following symbolic links, and every file written appears atomically: it is
// written to a hidden temporary file beside the target and moved into place.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/bytes.h"

namespace lumora::files {

struct ReadResult {
  std::optional<Bytes> bytes;
  std::string error;  // why the file could not be read
};

// Reads a regular file of at most maxBytes; a symbolic link is refused unless followLinks.
ReadResult readFile(const std::string& path, uint64_t maxBytes, bool followLinks = false);

// Names of the entries of a folder ("." and ".." left out), sorted; nullopt when the
// folder cannot be read.
std::optional<std::vector<std::string>> listFolder(const std::string& path);

bool isFolder(const std::string& path);
// True for a regular file, also one reached through a symbolic link.
bool isRegularFile(const std::string& path);
// True when anything (file, link, folder) has that name.
bool exists(const std::string& path);
// Creates the folder and its missing parents; true when it is a folder afterwards.
bool makeFolders(const std::string& path);

// Writes bytes to a hidden temporary file in the target's folder (name starting with '.',
// ending in ".tmp"), flushes it and moves it into place. With replace false the call fails
// when the target exists, leaving it alone. The temporary file never outlives a failure.
bool writeFileAtomic(const std::string& path, ByteView bytes, bool replace);

// Copies a file (following links: the source is the caller's own) atomically as above,
// replacing the target. False when the source cannot be read or the target written.
bool copyFileAtomic(const std::string& from, const std::string& to);

bool removeFile(const std::string& path);

// Appends text to the file, creating it (never through a symbolic link).
bool appendToFile(const std::string& path, std::string_view text);

// "folder/name" without doubling the separator.
std::string join(const std::string& folder, std::string_view name);

}  // namespace lumora::files
