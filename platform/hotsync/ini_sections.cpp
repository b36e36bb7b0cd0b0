#include "platform/hotsync/ini_sections.h"

#include <cctype>
#include <optional>

namespace lumora::hotsync {
namespace {

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool sameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

std::optional<std::string_view> sectionOf(std::string_view line) {
  std::string_view t = trim(line);
  if (t.empty() || t.front() != '[') return std::nullopt;
  size_t close = t.find(']');
  std::string_view name = close == std::string_view::npos ? t.substr(1) : t.substr(1, close - 1);
  return trim(name);
}

// Calls visit(line with terminator, section header name or nullopt) for each line.
template <typename Visit>
void forEachLine(std::string_view text, Visit visit) {
  size_t pos = 0;
  while (pos < text.size()) {
    size_t nl = text.find('\n', pos);
    size_t end = nl == std::string_view::npos ? text.size() : nl + 1;
    std::string_view line = text.substr(pos, end - pos);
    visit(line, sectionOf(line));
    pos = end;
  }
}

}  // namespace

bool hasSection(std::string_view text, std::string_view section) {
  bool found = false;
  forEachLine(text, [&](std::string_view, std::optional<std::string_view> header) {
    if (header && sameName(*header, trim(section))) found = true;
  });
  return found;
}

std::string withoutSection(std::string_view text, std::string_view section) {
  std::string out;
  bool dropping = false;
  forEachLine(text, [&](std::string_view line, std::optional<std::string_view> header) {
    if (header) dropping = sameName(*header, trim(section));
    if (!dropping) out += line;
  });
  return out;
}

}  // namespace lumora::hotsync
