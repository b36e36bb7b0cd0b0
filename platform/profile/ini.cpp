#include "platform/profile/ini.h"

#include <cctype>
#include <cstdint>
#include <vector>

namespace lumora::ini {
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
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

struct Line {
  size_t begin;              // offset of the line in the text
  size_t end;                // offset after the line's terminator
  std::string_view content;  // without terminator
};

std::vector<Line> splitLines(std::string_view text) {
  std::vector<Line> lines;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t nl = text.find('\n', pos);
    size_t contentEnd = nl == std::string_view::npos ? text.size() : nl;
    size_t end = nl == std::string_view::npos ? text.size() : nl + 1;
    std::string_view content = text.substr(pos, contentEnd - pos);
    if (!content.empty() && content.back() == '\r') content.remove_suffix(1);
    lines.push_back({pos, end, content});
    pos = end;
  }
  return lines;
}

// The section named by a header line, if the line is one.
std::optional<std::string_view> sectionOf(std::string_view line) {
  std::string_view t = trim(line);
  if (t.empty() || t.front() != '[') return std::nullopt;
  size_t close = t.find(']');
  std::string_view name = close == std::string_view::npos ? t.substr(1) : t.substr(1, close - 1);
  return trim(name);
}

struct KeyLine {
  std::string_view key;
  std::string_view value;
};

std::optional<KeyLine> keyOf(std::string_view line) {
  std::string_view t = trim(line);
  if (t.empty() || t.front() == ';' || t.front() == '[') return std::nullopt;
  size_t eq = t.find('=');
  if (eq == std::string_view::npos) return KeyLine{t, {}};
  return KeyLine{trim(t.substr(0, eq)), trim(t.substr(eq + 1))};
}

}  // namespace

std::optional<std::string> lookup(std::string_view text, std::string_view section,
                                  std::string_view key) {
  section = trim(section);
  key = trim(key);
  bool inSection = false;
  for (const Line& line : splitLines(text)) {
    if (auto s = sectionOf(line.content)) {
      inSection = sameName(*s, section);
      continue;
    }
    if (!inSection) continue;
    auto k = keyOf(line.content);
    if (!k || !sameName(k->key, key)) continue;
    std::string_view v = k->value;
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
    return std::string(v);
  }
  return std::nullopt;
}

std::string withValue(std::string_view text, std::string_view section, std::string_view key,
                      std::string_view value) {
  std::string newLine = std::string(trim(key)) + "=" + std::string(value) + "\r\n";
  std::vector<Line> lines = splitLines(text);
  bool inSection = false;
  bool sectionSeen = false;
  size_t insertAt = std::string_view::npos;  // after the last line of the section
  for (const Line& line : lines) {
    if (auto s = sectionOf(line.content)) {
      if (inSection) break;
      inSection = sameName(*s, trim(section));
      if (inSection) {
        sectionSeen = true;
        insertAt = line.end;
      }
      continue;
    }
    if (!inSection) continue;
    if (!trim(line.content).empty()) insertAt = line.end;
    auto k = keyOf(line.content);
    if (k && sameName(k->key, trim(key))) {
      std::string out(text.substr(0, line.begin));
      out += newLine;
      out += text.substr(line.end);
      return out;
    }
  }
  std::string out(text);
  if (!sectionSeen) {
    if (!out.empty() && out.back() != '\n') out += "\r\n";
    out += "[" + std::string(trim(section)) + "]\r\n" + newLine;
    return out;
  }
  std::string before(text.substr(0, insertAt));
  if (!before.empty() && before.back() != '\n') before += "\r\n";
  return before + newLine + std::string(text.substr(insertAt));
}

bool hasSection(std::string_view text, std::string_view section) {
  for (const Line& line : splitLines(text)) {
    auto s = sectionOf(line.content);
    if (s && sameName(*s, trim(section))) return true;
  }
  return false;
}

std::string withoutSection(std::string_view text, std::string_view section) {
  std::string out;
  bool dropping = false;
  for (const Line& line : splitLines(text)) {
    if (auto s = sectionOf(line.content)) dropping = sameName(*s, trim(section));
    if (!dropping) out += text.substr(line.begin, line.end - line.begin);
  }
  return out;
}

unsigned int parseInteger(std::string_view value) {
  size_t i = 0;
  while (i < value.size() && (value[i] == ' ' || value[i] == '\t')) ++i;
  bool negative = false;
  if (i < value.size() && (value[i] == '+' || value[i] == '-')) negative = value[i++] == '-';
  uint32_t n = 0;
  for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i)
    n = n * 10u + static_cast<uint32_t>(value[i] - '0');
  return negative ? 0u - n : n;
}

}  // namespace lumora::ini
