#include "hotsync/api/unfinished_writes.h"

#include <optional>

#include "hotsync/store/host_files.h"
#include "hotsync/store/names.h"

namespace lumora::hotsync {
namespace {

constexpr uint64_t kMaxFileBytes = 1 << 20;

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

}  // namespace

UnfinishedWrites::UnfinishedWrites(std::string file) : file_(std::move(file)) {
  auto read = hostfs::readFile(file_, kMaxFileBytes);
  if (!read.bytes) return;
  std::string_view text(reinterpret_cast<const char*>(read.bytes->data()), read.bytes->size());
  while (!text.empty()) {
    size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    auto name = unescape(line);
    if (name && !name->empty() && name->size() <= kMaxDbNameLength) names_.insert(*name);
  }
}

void UnfinishedWrites::add(const std::string& name) {
  if (names_.insert(name).second) save();
}

void UnfinishedWrites::remove(const std::string& name) {
  if (names_.erase(name) > 0) save();
}

void UnfinishedWrites::save() const {
  if (names_.empty()) {
    hostfs::removeFile(file_);
    return;
  }
  std::string text;
  for (const std::string& name : names_) text += escapeName(name) + "\n";
  hostfs::writeFileAtomic(
      file_, ByteView(reinterpret_cast<const uint8_t*>(text.data()), text.size()), true);
}

}  // namespace lumora::hotsync
