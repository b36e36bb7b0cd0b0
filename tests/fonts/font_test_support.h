// Helpers of the font tests: a recording install aide, a file system that fails on
// request, a scripted toolkit and a reader of the font database layout.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/bytes.h"
#include "platform/files/files.h"
#include "platform/ui/toolkit.h"

namespace lumora::test {

// Deterministic font-like bytes.
Bytes fontBytes(size_t size, uint8_t seed = 1);

// Stands in for the install aide: records each call with the file's bytes at that moment.
struct QueuedFile {
  std::string user;
  std::string path;
  std::optional<Bytes> bytes;  // nullopt when the file could not be read
};
struct QueueRecorder {
  static std::vector<QueuedFile> calls;
  static int32_t result;
  static void reset() {
    calls.clear();
    result = 0;
  }
  static int32_t queue(char* user, char* path);
};

// Passes everything to the host's file system, failing the operations it is told to.
class FaultyFileSystem final : public files::FileSystem {
 public:
  bool failOpen = false;
  bool failCreate = false;
  int failReadAt = 0;   // the nth read of an input returns an I/O error
  int shortReadAt = 0;  // the nth read delivers one byte less
  int failWriteAt = 0;  // the nth write of an output fails
  bool failCommit = false;
  std::optional<uint64_t> reportedSize;  // what size() of an input answers
  int reads = 0, writes = 0;

  std::vector<std::string> find(std::string_view pattern) override;
  bool existsForRead(std::string_view path) override;
  std::unique_ptr<files::InputFile> openInput(std::string_view path, files::Share share) override;
  std::unique_ptr<files::OutputFile> createOutput(std::string_view path, bool replace) override;
  bool remove(std::string_view path) override;
  bool makeFolders(std::string_view path) override;
  std::string tempFolder() override;
};

// Installs a file system for the life of the object.
class ScopedFileSystem {
 public:
  explicit ScopedFileSystem(files::FileSystem& fs) : previous_(files::setFileSystem(&fs)) {}
  ~ScopedFileSystem() { files::setFileSystem(previous_); }

 private:
  files::FileSystem* previous_;
};

struct MessageBoxCall {
  ui::Window owner;
  std::string text;
  std::string caption;
  uint32_t flags;
};

// Answers the open-file dialog with a scripted selection; records message boxes.
class ScriptedToolkit final : public ui::Toolkit {
 public:
  std::string selection;  // copied into the dialog's buffer, cut to its size
  bool picked = true;
  uint32_t extendedError = 0;

  std::vector<MessageBoxCall> boxes;
  std::optional<ui::OpenFileRequest> request;
  std::string initialDir, filter;
  bool bufferWasZeroed = false;

  int messageBox(ui::Window owner, std::string_view text, std::string_view caption,
                 uint32_t flags) override;
  bool getOpenFileName(ui::OpenFileRequest& r) override;
  uint32_t commDlgExtendedError() override { return extendedError; }
};

class ScopedToolkit {
 public:
  explicit ScopedToolkit(ui::Toolkit& t) : previous_(ui::setToolkit(&t)) {}
  ~ScopedToolkit() { ui::setToolkit(previous_); }

 private:
  ui::Toolkit* previous_;
};

// The font database as a reader sees it.
struct ParsedRecord {
  uint32_t offset;
  uint8_t attributes;
  uint32_t uniqueId;
  std::string signature;
  uint16_t zero;
  uint16_t length;
  Bytes data;
};
struct ParsedDatabase {
  std::string name;
  Bytes constants;  // offsets 32 to 75
  uint16_t count;
  std::vector<ParsedRecord> records;
  bool blocksBackToBack;  // each record starts where the one before ends, up to the file end
};
std::optional<ParsedDatabase> parseDatabase(ByteView file);

// Names in a folder, hidden ones included.
std::vector<std::string> entriesOf(const std::string& folder);

}  // namespace lumora::test
