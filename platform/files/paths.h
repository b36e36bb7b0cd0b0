// Where the Windows notions of the system live on this host.
#pragma once

#include <string>
#include <string_view>

namespace lumora::paths {

// The folder standing for the Windows folder (holds "Lumdex.ini" and conduits.ini):
// $LUMORA_WINDOWS_DIR, else $XDG_CONFIG_HOME/lumora, else ~/.config/lumora.
std::string windowsFolder();

// Maps Windows path text to a host path: "C:\x\y" -> $LUMORA_DRIVE_C/x/y (other drive
// letters: drive_x beside it), "\" -> "/", a name without folder -> the current
// directory. A path starting with "/" is a host path already: it gets no drive mapping,
// but a "\" that the conduit appended still becomes "/".
std::string toHostPath(std::string_view windowsPath);

// The host folder of a drive letter (upper or lower case).
std::string driveFolder(char letter);

// The temporary folder ($TMPDIR, else /tmp), always ending in "/".
std::string tempFolder();

}  // namespace lumora::paths
