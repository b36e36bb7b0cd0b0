// The file of the module (shared library or program) that holds a given address: the
// counterpart of GetModuleFileName for the conduit's own library.
#pragma once

#include <string>

namespace lumora::ui {

// The absolute path of the module containing address; empty when it cannot be told.
std::string moduleFileName(const void* address);

}  // namespace lumora::ui
