#include "fonts/installer_converter.h"

#include <cstdio>

#include "fonts/font_database.h"
#include "fonts/font_names.h"
#include "fonts/hresult.h"
#include "platform/files/files.h"

namespace lumora::fonts::installer {
namespace {

Status fail(int32_t code, std::string reason) {
  return Status{code, std::move(reason)};
}

std::string quoted(std::string_view s) {
  std::string out;
  out.reserve(s.size() + 2);
  out += '"';
  out.append(s);
  out += '"';
  return out;
}

std::string hex(int32_t code) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(code));
  return text;
}

// Deletes the committed output when the conversion ends; a failed delete is ignored.
class RemoveOnExit {
 public:
  explicit RemoveOnExit(std::string path) : path_(std::move(path)) {}
  ~RemoveOnExit() { files::fileSystem().remove(path_); }
  RemoveOnExit(const RemoveOnExit&) = delete;
  RemoveOnExit& operator=(const RemoveOnExit&) = delete;

 private:
  std::string path_;
};

}  // namespace

std::string outputPathFor(std::string_view fontPath) {
  // The temporary folder ends in its separator already.
  return files::fileSystem().tempFolder() + std::string(baseName(fontPath)) + ".pdb";
}

Status writeDatabase(std::string_view fontPath, std::string_view outputPath) {
  auto& fs = files::fileSystem();
  // Windows keeps installed fonts open for reading; sharing reading lets them be queued.
  auto [font, openError] = fs.openInputReporting(fontPath, files::Share::read);
  if (!font) return fail(hresultFromWin32(openError), "cannot open font file " + quoted(fontPath));
  auto [out, createError] = fs.createOutputReporting(outputPath, /*replace=*/true);
  if (!out) return fail(hresultFromWin32(createError), "cannot create file " + quoted(outputPath));
  const uint64_t size = font->size();
  if (!fitsDatabase(Variant::installer, size)) {
    return fail(kEUnexpected,
                "font file " + quoted(fontPath) + " is too large for a font database");
  }
  const auto name = installerNameField(baseName(fontPath));
  if (!name) {
    return fail(kEUnexpected,
                "font file name of " + quoted(fontPath) + " must have 1 to 33 characters");
  }
  switch (writeFontDatabase(Variant::installer, *name, size, *font, *out)) {
    case WriteStatus::ok:
      break;
    case WriteStatus::tooLarge:
      return fail(kEUnexpected,
                  "font file " + quoted(fontPath) + " is too large for a font database");
    case WriteStatus::readFailed:
      return fail(hresultFromWin32(kErrorReadFault), "cannot read font file " + quoted(fontPath));
    case WriteStatus::shortRead:
      return fail(kEUnexpected, "font file " + quoted(fontPath) + " ended early");
    case WriteStatus::writeFailed:
      return fail(hresultFromWin32(kErrorWriteFault), "cannot write file " + quoted(outputPath));
  }
  if (!out->commit()) {
    return fail(hresultFromWin32(kErrorWriteFault), "cannot write file " + quoted(outputPath));
  }
  return {};
}

Status convertAndQueueFont(std::string_view fontPath, std::string_view userName,
                           QueueFileFn queue) {
  const std::string output = outputPathFor(fontPath);
  Status written = writeDatabase(fontPath, output);
  if (!written.ok()) return written;
  RemoveOnExit removal(output);
  const int32_t queued = queueCopy(queue, userName, output);
  if (queued != 0) {
    return fail(queued, "the install aide refused " + quoted(output) + " (" + hex(queued) + ")");
  }
  return {};
}

}  // namespace lumora::fonts::installer
