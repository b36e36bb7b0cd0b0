#include "hotsync/api/hotsync_journal.h"

#include "hotsync/format/names.h"
#include "platform/files/atomic_files.h"

namespace lumora::hotsync {
namespace {

constexpr uint64_t kMaxListBytes = 1 << 20;
constexpr uint64_t kMaxCopyBytes = 64ull << 20;
constexpr const char* kCreatedFile = "Created.txt";
// Written first when the journal is cleared: a journal with it is one being forgotten,
// never one to undo, whatever a kill midway left of it.
constexpr const char* kClearedFile = "Cleared";

std::optional<int> hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return std::nullopt;
}

// The inverse of escapeName; nullopt for text it cannot have written.
std::optional<std::string> unescape(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out += text[i];
      continue;
    }
    if (i + 2 >= text.size()) return std::nullopt;
    auto high = hexDigit(text[i + 1]);
    auto low = hexDigit(text[i + 2]);
    if (!high || !low) return std::nullopt;
    out += static_cast<char>(*high * 16 + *low);
    i += 2;
  }
  return out;
}

ByteView textBytes(const std::string& text) {
  return ByteView(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

bool isCopyFile(const std::string& file) {
  return file.size() > 4 && file.compare(file.size() - 4, 4, ".pdb") == 0;
}

}  // namespace

HotSyncJournal::HotSyncJournal(std::string folder) : folder_(std::move(folder)) {
  if (files::exists(files::join(folder_, kClearedFile))) clear();
}

std::string HotSyncJournal::createdFile() const {
  return files::join(folder_, kCreatedFile);
}

std::set<std::string> HotSyncJournal::readCreated() const {
  std::set<std::string> names;
  auto read = files::readFile(createdFile(), kMaxListBytes);
  if (!read.bytes) return names;
  std::string_view text(reinterpret_cast<const char*>(read.bytes->data()), read.bytes->size());
  while (!text.empty()) {
    size_t end = text.find('\n');
    auto name = unescape(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    if (name && !name->empty() && name->size() <= kMaxDbNameLength) names.insert(*name);
  }
  return names;
}

bool HotSyncJournal::pending() const {
  auto entries = files::listFolder(folder_);
  return entries && !entries->empty();
}

bool HotSyncJournal::created(const std::string& name) {
  std::set<std::string> names = readCreated();
  if (!names.insert(name).second) return false;
  writeCreated(names);
  return true;
}

void HotSyncJournal::notCreated(const std::string& name) {
  std::set<std::string> names = readCreated();
  if (names.erase(name) > 0) writeCreated(names);
}

void HotSyncJournal::writeCreated(const std::set<std::string>& names) {
  std::string text;
  for (const std::string& n : names) text += escapeName(n) + "\n";
  // Written before the handheld is asked, so that a kill in between errs on the safe side.
  files::makeFolders(folder_);
  files::writeFileAtomic(createdFile(), textBytes(text), true);
}

bool HotSyncJournal::wantsCopy(const std::string& name) const {
  return !readCreated().count(name) && !files::exists(files::join(folder_, databaseFileName(name)));
}

bool HotSyncJournal::deleting(const Database& old) {
  auto file = serializePdb(old);
  if (!file || file->size() > kMaxCopyBytes) return false;
  files::makeFolders(folder_);
  return files::writeFileAtomic(files::join(folder_, databaseFileName(old.name)), *file, false);
}

std::set<std::string> HotSyncJournal::createdNames() const {
  return readCreated();
}

std::vector<Database> HotSyncJournal::keptCopies() const {
  std::vector<Database> copies;
  auto entries = files::listFolder(folder_);
  if (!entries) return copies;
  for (const std::string& file : *entries) {
    if (!isCopyFile(file)) continue;
    auto read = files::readFile(files::join(folder_, file), kMaxCopyBytes);
    if (!read.bytes) continue;
    if (auto parsed = parsePdb(*read.bytes); parsed.database)
      copies.push_back(std::move(*parsed.database));
  }
  return copies;
}

void HotSyncJournal::clear() {
  auto entries = files::listFolder(folder_);
  if (!entries || entries->empty()) return;
  const std::string cleared = files::join(folder_, kClearedFile);
  if (!files::exists(cleared) && !files::writeFileAtomic(cleared, {}, true)) return;
  for (const std::string& file : *entries)
    if (file != kClearedFile) files::removeFile(files::join(folder_, file));
  files::removeFile(cleared);
}

}  // namespace lumora::hotsync
