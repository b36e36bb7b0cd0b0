#include "hotsync/format/names.h"

#include <cstring>

namespace lumora::hotsync {
namespace {

bool keptAsIs(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == ' ' ||
         c == '.' || c == '_' || c == '-';
}

void appendEscaped(std::string& out, unsigned char c) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  out += '%';
  out += kHex[c >> 4];
  out += kHex[c & 0x0F];
}

#if defined(_WIN32)
// Windows opens a device instead of a file for CON, PRN, AUX, NUL, COM1-9 and LPT1-9,
// whatever the extension; such a name gets its first letter escaped there.
bool isWindowsDeviceName(std::string_view escaped) {
  std::string stem(escaped.substr(0, escaped.find('.')));
  while (!stem.empty() && stem.back() == ' ') stem.pop_back();
  for (char& c : stem) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
  if (stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL") return true;
  return stem.size() == 4 && (stem.starts_with("COM") || stem.starts_with("LPT")) &&
         stem[3] >= '1' && stem[3] <= '9';
}

#endif

std::string safeOnThisHost(std::string escaped) {
#if defined(_WIN32)
  if (isWindowsDeviceName(escaped)) {
    std::string out;
    appendEscaped(out, static_cast<unsigned char>(escaped[0]));
    return out + escaped.substr(1);
  }
#endif
  return escaped;
}

}  // namespace

std::optional<std::string> nameFromField(const char* field, size_t fieldSize) {
  if (!field) return std::nullopt;
  const void* zero = std::memchr(field, 0, fieldSize);
  if (!zero) return std::nullopt;
  size_t length = static_cast<size_t>(static_cast<const char*>(zero) - field);
  if (length == 0) return std::nullopt;
  return std::string(field, length);
}

std::optional<std::string> nameFromText(const char* text) {
  if (!text) return std::nullopt;
  // Reads at most the 32 bytes a name field holds, so an unterminated name is refused.
  size_t length = 0;
  while (length <= kMaxDbNameLength && text[length] != '\0') ++length;
  if (length == 0 || length > kMaxDbNameLength) return std::nullopt;
  return std::string(text, length);
}

std::string escapeName(std::string_view name) {
  std::string out;
  out.reserve(name.size());
  for (char ch : name) {
    auto c = static_cast<unsigned char>(ch);
    if (keptAsIs(c))
      out += ch;
    else
      appendEscaped(out, c);
  }
  return out;
}

std::string databaseFileName(std::string_view dbName) {
  return safeOnThisHost(escapeName(dbName)) + ".pdb";
}

std::optional<std::string> userFolderName(std::string_view userName) {
  if (userName.empty() || userName.size() > kMaxUserNameLength) return std::nullopt;
  if (userName.find('\0') != std::string_view::npos) return std::nullopt;
  std::string out;
  if (userName.front() == '.') {
    appendEscaped(out, '.');
    userName.remove_prefix(1);
  }
  return safeOnThisHost(out + escapeName(userName));
}

}  // namespace lumora::hotsync
