// The profile (ini) reader and writer on arbitrary text. The input is split at NUL bytes
// into text, section, key, value and a second section and key. Setting a value and
// reading it back gives the value, the other keys read as before, and the number reader
// agrees with a plain 32-bit wrapping reference.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/profile/ini.h"

namespace {

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

std::string lower(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
  return s;
}

// A name the writer can put on a line of its own and the reader finds again.
bool writableName(std::string_view name, bool isKey) {
  std::string_view t = trim(name);
  if (t.empty()) return false;
  if (t.find_first_of("\r\n[]") != std::string_view::npos) return false;
  if (isKey && (t.find('=') != std::string_view::npos || t.front() == ';')) return false;
  return true;
}

bool writableValue(std::string_view v) {
  if (v.find('\n') != std::string_view::npos || trim(v) != v) return false;
  return !(v.size() >= 2 && v.front() == '"' && v.back() == '"');
}

unsigned int referenceInteger(std::string_view v) {
  size_t i = 0;
  while (i < v.size() && (v[i] == ' ' || v[i] == '\t')) ++i;
  bool negative = false;
  if (i < v.size() && (v[i] == '+' || v[i] == '-')) negative = v[i++] == '-';
  uint64_t n = 0;
  for (; i < v.size() && v[i] >= '0' && v[i] <= '9'; ++i) n = (n * 10 + (v[i] - '0')) % 4294967296u;
  return static_cast<unsigned int>(negative ? (4294967296u - n) % 4294967296u : n);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view all(reinterpret_cast<const char*>(data), size);
  std::vector<std::string_view> parts;
  while (parts.size() < 5) {
    size_t nul = all.find('\0');
    if (nul == std::string_view::npos) break;
    parts.push_back(all.substr(0, nul));
    all.remove_prefix(nul + 1);
  }
  parts.push_back(all);
  parts.resize(6);
  std::string_view text = parts[0], section = parts[1], key = parts[2], value = parts[3],
                   section2 = parts[4], key2 = parts[5];

  auto before = lumora::ini::lookup(text, section2, key2);
  if (before && lumora::ini::parseInteger(*before) != referenceInteger(*before)) std::abort();
  if (lumora::ini::parseInteger(value) != referenceInteger(value)) std::abort();

  std::string written = lumora::ini::withValue(text, section, key, value);
  if (!writableName(section, false) || !writableName(key, true) || !writableValue(value)) return 0;
  auto back = lumora::ini::lookup(written, section, key);
  if (!back || *back != value) std::abort();
  bool sameKey =
      lower(trim(section)) == lower(trim(section2)) && lower(trim(key)) == lower(trim(key2));
  if (!sameKey && lumora::ini::lookup(written, section2, key2) != before) std::abort();
  return 0;
}
