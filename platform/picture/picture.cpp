// Loading a picture file through the files seam.
#include "platform/picture/picture.h"
#include "platform/files/files.h"

namespace lumora::picture {
namespace {

void note(std::string* reason, LoadProblem* problem, LoadProblem kind, std::string text) {
  if (reason) *reason = std::move(text);
  if (problem) *problem = kind;
}

}  // namespace

std::optional<PictureFile> openPicture(std::string_view path, std::string* reason,
                                       LoadProblem* problem, Formats formats) {
  if (problem) *problem = LoadProblem::none;
  auto in = files::fileSystem().openInput(path, files::Share::read);
  if (!in) {
    note(reason, problem, LoadProblem::cannotRead, "cannot be opened");
    return std::nullopt;
  }
  const uint64_t size = in->size();
  if (size > kMaxPictureFileBytes) {
    note(reason, problem, LoadProblem::notPicture,
         "is too large to be a picture (" + std::to_string(size) + " bytes)");
    return std::nullopt;
  }
  PictureFile file;
  file.bytes.resize(static_cast<size_t>(size));
  auto got = in->read(file.bytes.data(), file.bytes.size());
  if (!got || *got != file.bytes.size()) {
    note(reason, problem, LoadProblem::cannotRead, "cannot be read");
    return std::nullopt;
  }
  std::string why;
  if (formats == Formats::bmpOnly || sniffFormat(file.bytes) == PictureFormat::Bmp) {
    auto info = describeBmp(file.bytes, &why);
    if (!info) {
      note(reason, problem, LoadProblem::notPicture, std::move(why));
      return std::nullopt;
    }
    file.info = *info;
  }
  auto description = describePicture(file.bytes, &why);
  if (!description) {
    note(reason, problem, LoadProblem::notPicture, std::move(why));
    return std::nullopt;
  }
  file.description = *description;
  return file;
}

std::optional<Picture> decodePicture(const PictureFile& file, const PictureLimits& limits,
                                     const DecodeHint& hint, std::string* reason) {
  if (sniffFormat(file.bytes) == PictureFormat::Bmp) return parseBmp(file.bytes, reason);
  return decodePicture(file.bytes, limits, hint, reason);
}

std::optional<Picture> decodePicture(const PictureFile& file, std::string* reason) {
  return decodePicture(file, kPictureLimits, DecodeHint{}, reason);
}

std::optional<Picture> decodePicture(const PictureFile& file, const DecodeHint& hint,
                                     std::string* reason) {
  return decodePicture(file, kPictureLimits, hint, reason);
}

std::optional<Picture> loadPicture(std::string_view path, std::string* reason, Formats formats) {
  auto file = openPicture(path, reason, nullptr, formats);
  if (!file) return std::nullopt;
  return decodePicture(*file, reason);
}

}  // namespace lumora::picture
