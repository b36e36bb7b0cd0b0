// The conduit exports as the host calls them, and loading the registered conduit.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/process/loaded_library.h"

namespace lumora::host {

using OpenConduitFn = int32_t(void*, void*);
using GetConduitNameFn = int32_t(char*, uint16_t);
using GetConduitVersionFn = int32_t();
using GetConduitInfoFn = int32_t(int32_t, void*, void*, uint32_t*);
using CfgConduitFn = int32_t(int32_t, void*, uint32_t*);
using RegisterFn = int32_t();

inline constexpr const char* kAlbumCreator = "LmDx";
inline constexpr const char* kDefaultConduitLibrary = "lumsync.dll";

// Loads the library registered for creator, or explains in error why it cannot.
std::unique_ptr<process::LoadedLibrary> loadRegisteredConduit(const char* creator,
                                                              std::string& error);

// Loads a library by Windows name or host path.
std::unique_ptr<process::LoadedLibrary> loadLibraryNamed(const std::string& name,
                                                         std::string& error);

}  // namespace lumora::host
