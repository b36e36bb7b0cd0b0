// Reading the font registry: which key, which value name, and the value as text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/registry/registry.h"

namespace lumora::registry {

// The fonts key of the platform: under "Windows NT" for the NT family, else "Windows".
std::string_view fontKeyPath(uint32_t platformId);

// "Face Style (TrueType)", for example "Arial Bold Italic (TrueType)".
std::string fontValueName(std::string_view face, std::string_view styleSuffix);

struct ValueText {
  int32_t error = kErrorSuccess;
  uint32_t type = kRegNone;
  std::string text;  // the value's bytes up to the first zero byte
};

// Asks the value's size and type, then reads it, again with the newly reported size while
// the key answers kErrorMoreData (a value may grow between the calls).
ValueText readValueText(Key& key, std::string_view valueName);

struct WindowsFolder {
  int32_t error = kErrorSuccess;  // the Windows error of a failed query
  bool tooLong = false;           // the second answer still did not fit
  std::string path;
};

// GetWindowsDirectoryA with 260 characters, then once more with the size it asked for.
WindowsFolder windowsFolder(Registry& r);

// True for text that names a file by a full path (drive, UNC or host path) rather than by a
// name in the fonts folder.
bool isFullPath(std::string_view text);

// The fonts folder of a Windows folder, ending in its separator: "C:\WINDOWS\Fonts\".
std::string fontsFolderOf(std::string_view windowsFolder);

}  // namespace lumora::registry
