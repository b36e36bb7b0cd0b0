#include "tests/fonts/font_test_support.h"

#include <algorithm>
#include <filesystem>

namespace lumora::test {

Bytes fontBytes(size_t size, uint8_t seed) {
  Bytes out(size);
  uint32_t x = 0x9E3779B9u * seed;
  for (size_t i = 0; i < size; ++i) {
    x = x * 1664525u + 1013904223u;
    out[i] = static_cast<uint8_t>(x >> 24);
  }
  return out;
}

std::vector<QueuedFile> QueueRecorder::calls;
int32_t QueueRecorder::result = 0;

int32_t QueueRecorder::queue(char* user, char* path) {
  calls.push_back({user, path, files::readWholeFile(path, uint64_t{1} << 30)});
  return result;
}

namespace {

class FaultyInput final : public files::InputFile {
 public:
  FaultyInput(std::unique_ptr<files::InputFile> inner, FaultyFileSystem& fs)
      : inner_(std::move(inner)), fs_(fs) {}
  uint64_t size() override { return fs_.reportedSize.value_or(inner_->size()); }
  std::optional<size_t> read(uint8_t* into, size_t count) override {
    const int n = ++fs_.reads;
    if (n == fs_.failReadAt) return std::nullopt;
    auto got = inner_->read(into, count);
    if (got && *got > 0 && n == fs_.shortReadAt) return *got - 1;
    return got;
  }

 private:
  std::unique_ptr<files::InputFile> inner_;
  FaultyFileSystem& fs_;
};

class FaultyOutput final : public files::OutputFile {
 public:
  FaultyOutput(std::unique_ptr<files::OutputFile> inner, FaultyFileSystem& fs)
      : inner_(std::move(inner)), fs_(fs) {}
  bool write(const uint8_t* bytes, size_t count) override {
    if (++fs_.writes == fs_.failWriteAt) return false;
    return inner_->write(bytes, count);
  }
  bool commit() override { return !fs_.failCommit && inner_->commit(); }

 private:
  std::unique_ptr<files::OutputFile> inner_;
  FaultyFileSystem& fs_;
};

}  // namespace

std::vector<std::string> FaultyFileSystem::find(std::string_view pattern) {
  return files::hostFileSystem().find(pattern);
}
bool FaultyFileSystem::existsForRead(std::string_view path) {
  return files::hostFileSystem().existsForRead(path);
}
std::unique_ptr<files::InputFile> FaultyFileSystem::openInput(std::string_view path,
                                                              files::Share share) {
  if (failOpen) return nullptr;
  auto inner = files::hostFileSystem().openInput(path, share);
  if (!inner) return nullptr;
  return std::make_unique<FaultyInput>(std::move(inner), *this);
}
std::unique_ptr<files::OutputFile> FaultyFileSystem::createOutput(std::string_view path,
                                                                  bool replace) {
  if (failCreate) return nullptr;
  auto inner = files::hostFileSystem().createOutput(path, replace);
  if (!inner) return nullptr;
  return std::make_unique<FaultyOutput>(std::move(inner), *this);
}
bool FaultyFileSystem::remove(std::string_view path) {
  return files::hostFileSystem().remove(path);
}
bool FaultyFileSystem::makeFolders(std::string_view path) {
  return files::hostFileSystem().makeFolders(path);
}
std::string FaultyFileSystem::tempFolder() {
  return files::hostFileSystem().tempFolder();
}

int ScriptedToolkit::messageBox(ui::Window owner, std::string_view text, std::string_view caption,
                                uint32_t flags) {
  boxes.push_back({owner, std::string(text), std::string(caption), flags});
  return ui::kIdOk;
}

bool ScriptedToolkit::getOpenFileName(ui::OpenFileRequest& r) {
  request = r;
  initialDir = std::string(r.initialDir);
  filter = std::string(r.filter);
  bufferWasZeroed =
      std::all_of(r.fileBuffer, r.fileBuffer + r.fileBufferSize, [](char c) { return c == '\0'; });
  std::copy_n(selection.begin(), std::min<size_t>(selection.size(), r.fileBufferSize),
              r.fileBuffer);
  return picked;
}

std::optional<ParsedDatabase> parseDatabase(ByteView file) {
  if (file.size() < 78) return std::nullopt;
  ParsedDatabase db;
  auto nameEnd = std::find(file.begin(), file.begin() + 32, uint8_t{0});
  db.name.assign(file.begin(), nameEnd);
  db.constants.assign(file.begin() + 32, file.begin() + 76);
  db.count = loadBe16(file.data() + 76);
  if (file.size() < 78 + 8u * db.count) return std::nullopt;
  size_t expectedStart = 78 + 8u * db.count;
  db.blocksBackToBack = true;
  for (uint32_t i = 0; i < db.count; ++i) {
    const uint8_t* entry = file.data() + 78 + 8 * i;
    ParsedRecord r;
    r.offset = loadBe32(entry);
    r.attributes = entry[4];
    r.uniqueId = (uint32_t{entry[5]} << 16) | (uint32_t{entry[6]} << 8) | entry[7];
    if (r.offset != expectedStart) db.blocksBackToBack = false;
    auto header = readBe16(file, r.offset + 6);
    if (!header || r.offset + 8 > file.size()) return std::nullopt;
    r.signature.assign(file.begin() + r.offset, file.begin() + r.offset + 4);
    r.zero = loadBe16(file.data() + r.offset + 4);
    r.length = *header;
    if (r.offset + 8 + size_t{r.length} > file.size()) return std::nullopt;
    r.data.assign(file.begin() + r.offset + 8, file.begin() + r.offset + 8 + r.length);
    expectedStart = r.offset + 8 + size_t{r.length};
    db.records.push_back(std::move(r));
  }
  if (expectedStart != file.size()) db.blocksBackToBack = false;
  return db;
}

std::vector<std::string> entriesOf(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace lumora::test
