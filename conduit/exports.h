// The conduit's exported entry points, with C linkage and fixed-width arguments, as the
// HotSync Manager calls them.
#pragma once

#include <cstdint>

#include "common/export.h"

extern "C" {

// Result codes of the information and configuration exports.
enum : int32_t {
  kCondErrBadInfoType = 4208,
  kCondErrNullBuffer = 4209,
  kCondErrBadSize = 4211,
  kCondErrNullRequest = 4212,
  kCondErrBadRequest = 4213,
  kCondErrNoName = 4214,
  kCondErrNullSize = 4215,
  kCondErrNullRecordSize = 4216,
  kCondErrBadConfigType = 4217,
  kCondErrBadRecordSize = 4218,
  kCondErrBadRecordVersion = 4219,
};

LUMORA_EXPORT int32_t OpenConduit(void* reserved, void* syncProperties);
LUMORA_EXPORT int32_t GetConduitName(char* buffer, uint16_t length);
LUMORA_EXPORT int32_t GetConduitVersion(void);
LUMORA_EXPORT int32_t ConfigureConduit(void* preferences);
LUMORA_EXPORT int32_t GetConduitInfo(int32_t infoType, void* request, void* output,
                                     uint32_t* outputSize);
LUMORA_EXPORT int32_t CfgConduit(int32_t configType, void* record, uint32_t* recordSize);
LUMORA_EXPORT int32_t DllRegisterServer(void);
LUMORA_EXPORT int32_t DllUnregisterServer(void);
}

namespace lumora::conduit {

inline constexpr uint32_t kConduitVersion = 0x00000102;
inline constexpr uint32_t kNameRequestSize = 80;

}  // namespace lumora::conduit
