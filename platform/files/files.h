// Files and folders as the core sees them: Windows-style path text in, results as
// values out. One replaceable table of operations (the real one maps the paths onto the
// host, see paths.h); tests install their own to inject faults.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/win32_values.h"

namespace lumora::files {

// A file opened for reading.
class InputFile {
 public:
  virtual ~InputFile() = default;
  virtual uint64_t size() = 0;
  // Reads up to count bytes; returns how many were read, or nullopt on an I/O error.
  virtual std::optional<size_t> read(uint8_t* into, size_t count) = 0;
};

// Reads bytes held in memory (not copied: they must outlive it), where a caller wants an
// InputFile without a file.
class MemoryInput final : public InputFile {
 public:
  explicit MemoryInput(const std::vector<uint8_t>& bytes) : bytes_(bytes) {}
  uint64_t size() override { return bytes_.size(); }
  std::optional<size_t> read(uint8_t* into, size_t count) override;

 private:
  const std::vector<uint8_t>& bytes_;
  size_t at_ = 0;
};

// A file being written. Bytes go to a temporary file beside the target; commit() moves it
// into place. Destroying an uncommitted OutputFile removes the temporary file, so a failed
// write never leaves a half-written target and never harms an existing one.
class OutputFile {
 public:
  virtual ~OutputFile() = default;
  virtual bool write(const uint8_t* bytes, size_t count) = 0;
  // Moves the file into place. With replace false this fails (and keeps the other file)
  // when a file of the target's name appeared meanwhile.
  virtual bool commit() = 0;
};

enum class Share { none, read };

struct DiskSpace {
  uint64_t total = 0;
  uint64_t available = 0;  // to this user
};

// An opened file, or the Windows error code (kErrorFileNotFound, ...) of why it is not.
template <typename File>
struct Opened {
  std::unique_ptr<File> file;
  int32_t error = 0;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // Names (without folder) of the entries matching a Windows pattern such as
  // "C:\Lumdex\*.bmp"; wildcards only in the last component, matched case-insensitively;
  // "*.*" matches every entry. Empty when nothing matches or the folder is missing.
  // Sorted with sortNames, whatever order the folder keeps them in.
  virtual std::vector<std::string> find(std::string_view pattern) = 0;
  // True when path names an existing regular file that can be opened for reading.
  virtual bool existsForRead(std::string_view path) = 0;
  virtual std::unique_ptr<InputFile> openInput(std::string_view path, Share share) = 0;
  // Starts writing path. With replace false, fails at once when path exists.
  virtual std::unique_ptr<OutputFile> createOutput(std::string_view path, bool replace) = 0;
  // The same, with the reason of a failure. A file system that cannot tell reports file
  // not found and access denied.
  virtual Opened<InputFile> openInputReporting(std::string_view path, Share share);
  virtual Opened<OutputFile> createOutputReporting(std::string_view path, bool replace);
  virtual bool remove(std::string_view path) = 0;
  // Creates the folder and its missing parents; true when it exists afterwards.
  virtual bool makeFolders(std::string_view path) = 0;
  // The temporary folder, ending in a separator.
  virtual std::string tempFolder() = 0;
  // The size and the free bytes of the disk that holds folder; nullopt when it cannot be
  // told (then no margin can be kept).
  virtual std::optional<DiskSpace> diskSpace(std::string_view folder);
};

// The file system in use (the host's unless a test installed another).
FileSystem& fileSystem();
// Installs fs (not owned) until reset with nullptr; returns the previous one.
FileSystem* setFileSystem(FileSystem* fs);

#if !defined(_WIN32)
// Creates a host folder and its missing parents; true when it is a folder afterwards. A
// folder that exists costs one stat and no mkdir, and only the missing parents are made:
// callers that make their folder before every write (log lines, journal entries) do not
// fill a HotSync with mkdir calls failing on existing folders.
bool makeHostFolders(const std::string& hostPath);
#endif

// The host's file system, for wrappers that pass most calls through.
FileSystem& hostFileSystem();

// Reads a whole file of at most maxBytes; nullopt when it cannot be read or is larger.
std::optional<std::vector<uint8_t>> readWholeFile(std::string_view path, uint64_t maxBytes);

// Windows-style name matching ('*' and '?', case-insensitive ASCII).
bool matchesPattern(std::string_view name, std::string_view pattern);

// Sorts names as an NTFS folder lists them: by upper-cased ASCII, then by bytes. A sync then
// handles new pictures in the same order on every host and file system.
void sortNames(std::vector<std::string>& names);

}  // namespace lumora::files
