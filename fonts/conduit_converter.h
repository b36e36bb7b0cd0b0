// The conduit's font converter: problems are shown to the user in message boxes.
#pragma once

#include <string_view>

#include "fonts/install_aide.h"
#include "platform/ui/toolkit.h"

namespace lumora::fonts::conduit {

// Writes the font database of fontPath to outputPath, the database named after the font
// file's title. Every failure shows one OK box owned by owner and leaves no output file.
bool writeDatabase(std::string_view fontPath, std::string_view outputPath, ui::Window owner);

// Converts fontPath into "<title>.pdb" in the current directory, queues that file for
// userName and deletes it again. True when the install aide took the file.
bool convertAndQueueFont(std::string_view fontPath, std::string_view userName, ui::Window owner,
                         QueueFileFn queue = &::PltInstallFile);

}  // namespace lumora::fonts::conduit
