// What a DLP answer's error code means to the Sync Manager's callers: the result codes the
// conduit compares against (the values of the Sync Manager's C API).
#pragma once

#include <cstdint>

namespace lumora::link {

// What the Sync Manager call was doing, where one DLP error means different results.
enum class SyncOperation {
  Other,
  Search,        // find by type and creator: "not found" ends the search
  ReadRecord,    // by index: "not found" is an index past the end
  ReadAppBlock,  // "not found": the database has no app-info block
};

namespace syncresult {
inline constexpr int32_t kOk = 0;
inline constexpr int32_t kNoMore = 0x4003;
inline constexpr int32_t kExists = 0x400B;
inline constexpr int32_t kAlreadyOpen = 0x400C;
inline constexpr int32_t kBadArg = 0x400F;
inline constexpr int32_t kNotFound = 0x4010;
inline constexpr int32_t kNoRecord = 0x4011;
inline constexpr int32_t kNoAppInfo = 0x4012;
inline constexpr int32_t kReadOnly = 0x4013;
inline constexpr int32_t kStorage = 0x4014;
inline constexpr int32_t kNotConnected = 0x4015;
inline constexpr int32_t kTooLarge = 0x4016;
inline constexpr int32_t kTooManyOpen = 0x10004403;
}  // namespace syncresult

int32_t syncResultFor(uint16_t dlpError, SyncOperation operation = SyncOperation::Other);

// The other way, for the simulated handheld's answers: the DLP error that a desktop maps
// back to syncResult (for the operation that gave it).
uint16_t dlpErrorFor(int32_t syncResult);

}  // namespace lumora::link
