// The installer library's font converter: failures come back as HRESULT-coded values.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "fonts/install_aide.h"

namespace lumora::fonts::installer {

// code 0: done. Otherwise an HRESULT, or the install aide's own non-zero result.
struct Status {
  int32_t code = 0;
  std::string reason;  // for people: what failed and on which file
  bool ok() const { return code == 0; }
};

// Writes the font database of fontPath to outputPath, named after the font's base name.
// Nothing is left at outputPath on failure.
Status writeDatabase(std::string_view fontPath, std::string_view outputPath);

// The output file for a font: "<base name>.pdb" in the temporary folder.
std::string outputPathFor(std::string_view fontPath);

// Converts fontPath into the temporary folder, queues the file for userName and deletes it,
// whatever the outcome.
Status convertAndQueueFont(std::string_view fontPath, std::string_view userName,
                           QueueFileFn queue = &::PltInstallFile);

}  // namespace lumora::fonts::installer
