#include "fonts/conduit_converter.h"

#include <string>

#include "fonts/font_database.h"
#include "fonts/font_names.h"
#include "platform/files/files.h"

namespace lumora::fonts::conduit {
namespace {

std::string quoted(std::string_view s) {
  std::string out;
  out.reserve(s.size() + 2);
  out += '"';
  out.append(s);
  out += '"';
  return out;
}

void tell(ui::Window owner, const std::string& text, std::string_view caption) {
  ui::toolkit().messageBox(owner, text, caption, ui::kMbOk);
}

}  // namespace

bool writeDatabase(std::string_view fontPath, std::string_view outputPath, ui::Window owner) {
  auto& fs = files::fileSystem();
  auto font = fs.openInput(fontPath, files::Share::read);
  if (!font) {
    tell(owner, "File " + quoted(fontPath) + " does not exists!", "Not Existing");
    return false;
  }
  const uint64_t size = font->size();
  if (!fitsDatabase(Variant::conduit, size)) {
    tell(owner, "File " + quoted(fontPath) + " is too large for a font database!", "Too large");
    return false;
  }
  auto out = fs.createOutput(outputPath, /*replace=*/true);
  if (!out) {
    tell(owner, "Cannot create file " + quoted(outputPath), "Cannot create");
    return false;
  }
  const NameField name = nameField(conduitDatabaseName(fileTitle(fontPath)));
  switch (writeFontDatabase(Variant::conduit, name, size, *font, *out)) {
    case WriteStatus::ok:
      break;
    case WriteStatus::tooLarge:
      tell(owner, "File " + quoted(fontPath) + " is too large for a font database!", "Too large");
      return false;
    case WriteStatus::readFailed:
    case WriteStatus::shortRead:
      tell(owner, "Cannot read file " + quoted(fontPath), "Cannot read");
      return false;
    case WriteStatus::writeFailed:
      tell(owner, "Cannot write file " + quoted(outputPath), "Cannot write");
      return false;
  }
  if (!out->commit()) {
    tell(owner, "Cannot write file " + quoted(outputPath), "Cannot write");
    return false;
  }
  return true;
}

bool convertAndQueueFont(std::string_view fontPath, std::string_view userName, ui::Window owner,
                         QueueFileFn queue) {
  // A relative name: the file lands in the host's current directory.
  const std::string output = fileTitle(fontPath) + ".pdb";
  if (!writeDatabase(fontPath, output, owner)) return false;
  const int32_t queued = queueCopy(queue, userName, output);
  files::fileSystem().remove(output);
  if (queued != 0) {
    tell(owner, "Cannot queue file " + quoted(output) + " for installation", "Cannot queue");
    return false;
  }
  return true;
}

}  // namespace lumora::fonts::conduit
