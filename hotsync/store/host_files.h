// The few file operations the HotSync stand-in needs, on host paths; platform/files does
// them (see atomic_files.h).
#pragma once

#include "platform/files/atomic_files.h"

namespace lumora::hotsync::hostfs {

using ::lumora::files::appendToFile;
using ::lumora::files::copyFileAtomic;
using ::lumora::files::exists;
using ::lumora::files::isFolder;
using ::lumora::files::isRegularFile;
using ::lumora::files::join;
using ::lumora::files::listFolder;
using ::lumora::files::makeFolders;
using ::lumora::files::readFile;
using ::lumora::files::ReadResult;
using ::lumora::files::removeFile;
using ::lumora::files::writeFileAtomic;

}  // namespace lumora::hotsync::hostfs
