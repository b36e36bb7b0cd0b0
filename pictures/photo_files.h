// Photo files of the sync folder (.jpg, .jpeg, .png, .heic, .heif) and which of them go to
// the handheld beside the .bmp files.
#pragma once

#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace lumora::pictures {

// True for a file name ending in a photo extension, in any case.
bool isPhotoFile(std::string_view fileName);

// The database name of a photo file: its name without the last extension, or nullopt when
// that leaves nothing or more than 31 characters.
std::optional<std::string> photoDatabaseName(std::string_view fileName);

// A name as the desktop compares names: letters in upper case.
std::string foldedName(std::string_view name);

struct PhotoLeftOut {
  std::string photo;  // the file left in the folder
  std::string goes;   // the file of the same name that goes instead
};

struct PhotoPlan {
  std::vector<std::string> send;  // photos to convert, in folder order
  std::vector<PhotoLeftOut> leftOut;
};

// Which photos among folderEntries go to the handheld: each photo whose database name is
// not that of a .bmp file (a .bmp wins) nor of a photo before it. Names compare without
// case, as the desktop's file names do. A photo whose name is empty or too long stays in
// send: the transfer refuses it by its name as it does a .bmp file.
PhotoPlan planPhotos(const std::vector<std::string>& bmpFiles,
                     const std::vector<std::string>& folderEntries);

// The folded database names of the photos among folderEntries.
std::set<std::string> photoNames(const std::vector<std::string>& folderEntries);

}  // namespace lumora::pictures
