#include "pictures/photo_files.h"

#include <array>
#include <cctype>
#include <map>

#include "pictures/picture_database.h"
#include "pictures/picture_names.h"

namespace lumora::pictures {

bool isPhotoFile(std::string_view fileName) {
  static constexpr std::array<std::string_view, 5> kExtensions{".JPG", ".JPEG", ".PNG", ".HEIC",
                                                               ".HEIF"};
  const auto dot = fileName.rfind('.');
  if (dot == std::string_view::npos || dot == 0) return false;
  const std::string extension = foldedName(fileName.substr(dot));
  for (std::string_view e : kExtensions)
    if (extension == e) return true;
  return false;
}

std::optional<std::string> photoDatabaseName(std::string_view fileName) {
  const auto dot = fileName.rfind('.');
  if (dot == std::string_view::npos || dot == 0 || dot > kMaxNameLength) return std::nullopt;
  return std::string(fileName.substr(0, dot));
}

std::string foldedName(std::string_view name) {
  std::string out(name);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

PhotoPlan planPhotos(const std::vector<std::string>& bmpFiles,
                     const std::vector<std::string>& folderEntries) {
  std::map<std::string, std::string> taken;  // folded database name -> the file that goes
  for (const std::string& bmp : bmpFiles)
    if (auto name = databaseNameFor(bmp)) taken.emplace(foldedName(*name), bmp);
  PhotoPlan plan;
  for (const std::string& file : folderEntries) {
    if (!isPhotoFile(file)) continue;
    auto name = photoDatabaseName(file);
    if (!name) {
      plan.send.push_back(file);  // refused by name later, with the .bmp files' line
      continue;
    }
    auto [it, fresh] = taken.emplace(foldedName(*name), file);
    if (fresh)
      plan.send.push_back(file);
    else
      plan.leftOut.push_back({file, it->second});
  }
  return plan;
}

std::set<std::string> photoNames(const std::vector<std::string>& folderEntries) {
  std::set<std::string> names;
  for (const std::string& file : folderEntries)
    if (isPhotoFile(file))
      if (auto name = photoDatabaseName(file)) names.insert(foldedName(*name));
  return names;
}

}  // namespace lumora::pictures
