#include "pictures/picture_names.h"

#include <array>
#include <cctype>

#include "pictures/picture_database.h"

namespace lumora::pictures {
namespace {

bool equalsFolded(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(a[i])) != static_cast<unsigned char>(b[i]))
      return false;
  }
  return true;
}

// Windows takes these as devices whatever extension follows.
bool isReservedDeviceName(std::string_view name) {
  std::string_view base = name.substr(0, name.find('.'));
  while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
  static constexpr std::array<std::string_view, 4> kPlain{"CON", "PRN", "AUX", "NUL"};
  for (auto reserved : kPlain) {
    if (equalsFolded(base, reserved)) return true;
  }
  if (base.size() == 4 && base[3] >= '1' && base[3] <= '9') {
    std::string_view stem = base.substr(0, 3);
    if (equalsFolded(stem, "COM") || equalsFolded(stem, "LPT")) return true;
  }
  return false;
}

}  // namespace

bool isSafeFileStem(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (char c : name) {
    auto u = static_cast<unsigned char>(c);
    if (c == '\\' || c == '/' || c == ':' || u < 0x20 || u == 0x7F) return false;
  }
  return !isReservedDeviceName(name);
}

std::optional<std::string> databaseNameFor(std::string_view fileName) {
  if (fileName.size() <= 4 || fileName.size() - 4 > kMaxNameLength) return std::nullopt;
  return std::string(fileName.substr(0, fileName.size() - 4));
}

}  // namespace lumora::pictures
