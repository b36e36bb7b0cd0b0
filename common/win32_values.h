// Values of the Windows API that the portable code keeps as Windows defines them, so that
// both builds agree on them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lumora {

// Paths live in buffers of this many characters: 259 and the terminator.
inline constexpr size_t kPathCapacity = 260;

// Windows error codes, as the seams report them and HRESULTs carry them.
inline constexpr int32_t kErrorSuccess = 0;
inline constexpr int32_t kErrorFileNotFound = 2;
inline constexpr int32_t kErrorPathNotFound = 3;
inline constexpr int32_t kErrorTooManyOpenFiles = 4;
inline constexpr int32_t kErrorAccessDenied = 5;
inline constexpr int32_t kErrorWriteProtect = 19;
inline constexpr int32_t kErrorWriteFault = 29;
inline constexpr int32_t kErrorReadFault = 30;
inline constexpr int32_t kErrorSharingViolation = 32;
inline constexpr int32_t kErrorFileExists = 80;
inline constexpr int32_t kErrorDiskFull = 112;
inline constexpr int32_t kErrorFilenameTooLong = 206;
inline constexpr int32_t kErrorMoreData = 234;
inline constexpr int32_t kErrorBadDb = 1009;

}  // namespace lumora
