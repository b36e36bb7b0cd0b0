#include "platform/registry/reg_file.h"

#include <algorithm>
#include <cctype>

#include "platform/registry/registry.h"

namespace lumora::registry {
namespace {

char fold(char c) {
  return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

bool equalNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](char x, char y) { return fold(x) == fold(y); });
}

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

// UTF-16LE text becomes single-byte text; characters beyond one byte become '?'.
std::string narrowUtf16(ByteView bytes) {
  std::string out;
  out.reserve(bytes.size() / 2);
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const uint16_t unit = loadLe16(bytes.data() + i);
    out += unit <= 0xFF ? static_cast<char>(unit) : '?';
  }
  return out;
}

std::string decodeText(ByteView bytes) {
  if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE)
    return narrowUtf16(bytes.subspan(2));
  if (bytes.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF)
    bytes = bytes.subspan(3);
  return std::string(bytes.begin(), bytes.end());
}

// Logical lines: a line ending in "\" goes on with the next (regedit wraps long hex lists).
std::vector<std::string> logicalLines(std::string_view text) {
  std::vector<std::string> lines;
  std::string current;
  bool continuing = false;
  size_t at = 0;
  while (at <= text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = trimmed(text.substr(at, end - at));
    if (continuing) {
      current += line;
    } else {
      current = std::string(line);
    }
    continuing = !current.empty() && current.back() == '\\';
    if (continuing) {
      current.pop_back();
    } else {
      lines.push_back(std::move(current));
      current.clear();
    }
    at = end + 1;
  }
  if (continuing) lines.push_back(std::move(current));
  return lines;
}

// A quoted string from s[at] == '"'; at ends after the closing quote. nullopt when it is
// not closed.
std::optional<std::string> quotedAt(std::string_view s, size_t& at) {
  std::string out;
  for (size_t i = at + 1; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 1 < s.size()) {
      out += s[++i];
    } else if (s[i] == '"') {
      at = i + 1;
      return out;
    } else {
      out += s[i];
    }
  }
  return std::nullopt;
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = fold(c);
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::optional<uint32_t> parseHexNumber(std::string_view s, size_t maxDigits) {
  s = trimmed(s);
  if (s.empty() || s.size() > maxDigits) return std::nullopt;
  uint32_t v = 0;
  for (char c : s) {
    int d = hexDigit(c);
    if (d < 0) return std::nullopt;
    v = (v << 4) | static_cast<uint32_t>(d);
  }
  return v;
}

std::optional<Bytes> parseHexList(std::string_view s) {
  Bytes out;
  s = trimmed(s);
  if (s.empty()) return out;
  size_t at = 0;
  while (at <= s.size()) {
    size_t comma = s.find(',', at);
    if (comma == std::string_view::npos) comma = s.size();
    auto byte = parseHexNumber(s.substr(at, comma - at), 2);
    if (!byte) return std::nullopt;
    out.push_back(static_cast<uint8_t>(*byte));
    at = comma + 1;
  }
  return out;
}

bool isTextType(uint32_t type) {
  return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz;
}

struct ValueLine {
  std::string name;
  std::optional<RegValue> value;  // nullopt: delete the value
};

std::optional<ValueLine> parseValueLine(std::string_view line, bool unicode) {
  ValueLine out;
  size_t at = 0;
  if (line[0] == '@') {
    at = 1;
  } else {
    auto name = quotedAt(line, at);
    if (!name) return std::nullopt;
    out.name = *name;
  }
  std::string_view rest = trimmed(line.substr(at));
  if (rest.empty() || rest[0] != '=') return std::nullopt;
  rest = trimmed(rest.substr(1));
  if (rest == "-") return out;
  RegValue value;
  if (!rest.empty() && rest[0] == '"') {
    size_t end = 0;
    auto text = quotedAt(rest, end);
    if (!text || !trimmed(rest.substr(end)).empty()) return std::nullopt;
    value.type = kRegSz;
    value.data.assign(text->begin(), text->end());
    value.data.push_back(0);
  } else if (rest.size() >= 6 && equalNoCase(rest.substr(0, 6), "dword:")) {
    auto number = parseHexNumber(rest.substr(6), 8);
    if (!number) return std::nullopt;
    value.type = kRegDword;
    appendLe32(value.data, *number);
  } else if (rest.size() >= 4 && equalNoCase(rest.substr(0, 4), "hex:")) {
    auto bytes = parseHexList(rest.substr(4));
    if (!bytes) return std::nullopt;
    value.type = kRegBinary;
    value.data = std::move(*bytes);
  } else if (rest.size() >= 5 && equalNoCase(rest.substr(0, 4), "hex(")) {
    size_t close = rest.find("):");
    if (close == std::string_view::npos) return std::nullopt;
    auto type = parseHexNumber(rest.substr(4, close - 4), 8);
    auto bytes = parseHexList(rest.substr(close + 2));
    if (!type || !bytes) return std::nullopt;
    value.type = *type;
    // Version 5 exports keep strings as UTF-16LE; the text interface reads single bytes.
    if (unicode && isTextType(*type)) {
      std::string text = narrowUtf16(*bytes);
      value.data.assign(text.begin(), text.end());
    } else {
      value.data = std::move(*bytes);
    }
  } else {
    return std::nullopt;
  }
  out.value = std::move(value);
  return out;
}

}  // namespace

bool NoCaseLess::operator()(std::string_view a, std::string_view b) const {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [](char x, char y) { return fold(x) < fold(y); });
}

const RegValues* RegFile::findKey(std::string_view path) const {
  auto it = keys.find(path);
  return it == keys.end() ? nullptr : &it->second;
}

std::optional<RegFile> parseRegFile(ByteView bytes) {
  const std::vector<std::string> lines = logicalLines(decodeText(bytes));
  size_t i = 0;
  while (i < lines.size() && lines[i].empty()) ++i;
  if (i == lines.size()) return std::nullopt;
  bool unicode;
  if (lines[i] == "Windows Registry Editor Version 5.00")
    unicode = true;
  else if (lines[i] == "REGEDIT4")
    unicode = false;
  else
    return std::nullopt;

  RegFile file;
  RegValues* current = nullptr;
  for (++i; i < lines.size(); ++i) {
    std::string_view line = lines[i];
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      current = nullptr;
      if (line.back() != ']' || line.size() < 3) continue;
      std::string_view path = line.substr(1, line.size() - 2);
      if (path[0] == '-') {
        // Removes the key and everything below it.
        std::string prefix = std::string(path.substr(1)) + "\\";
        for (auto it = file.keys.begin(); it != file.keys.end();) {
          const std::string& name = it->first;
          bool below = name.size() >= prefix.size() &&
                       equalNoCase(std::string_view(name).substr(0, prefix.size()), prefix);
          if (below || equalNoCase(name, path.substr(1)))
            it = file.keys.erase(it);
          else
            ++it;
        }
        continue;
      }
      current = &file.keys[std::string(path)];
      continue;
    }
    if (!current || (line[0] != '"' && line[0] != '@')) continue;
    auto parsed = parseValueLine(line, unicode);
    if (!parsed) continue;
    if (parsed->value)
      (*current)[parsed->name] = std::move(*parsed->value);
    else
      current->erase(parsed->name);
  }
  return file;
}

}  // namespace lumora::registry
