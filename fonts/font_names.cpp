#include "fonts/font_names.h"

#include <algorithm>

namespace lumora::fonts {

std::string fileTitle(std::string_view path) {
  auto cut = path.find_last_of("\\/:");
  std::string_view title = cut == std::string_view::npos ? path : path.substr(cut + 1);
  return std::string(title.substr(0, kTitleCapacity - 1));
}

std::string conduitDatabaseName(std::string_view title) {
  if (title.size() <= kNameFieldSize) return std::string(title);
  return std::string(title.substr(0, kNameFieldSize - 4)) + ".ttf";
}

std::string_view baseName(std::string_view path) {
  auto cut = path.find_last_of("\\/");
  return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

std::optional<NameField> installerNameField(std::string_view base) {
  // One character more than the field holds is accepted and cut; the handheld never sees it.
  if (base.empty() || base.size() > kNameFieldSize + 1) return std::nullopt;
  return nameField(base.substr(0, kNameFieldSize));
}

NameField nameField(std::string_view name) {
  NameField field{};
  std::copy_n(name.begin(), std::min(name.size(), field.size()), field.begin());
  return field;
}

std::string nameOf(const NameField& field) {
  auto end = std::find(field.begin(), field.end(), uint8_t{0});
  return std::string(field.begin(), end);
}

}  // namespace lumora::fonts
