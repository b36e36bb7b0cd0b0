// What a DLP answer's error code means to the Sync Manager's callers: the result codes the
// conduit compares against (the values of the Sync Manager's C API).
#pragma once

#include <cstdint>

#include "hotsync/api/hotsync.h"

namespace lumora::link {

// What the Sync Manager call was doing, where one DLP error means different results.
enum class SyncOperation {
  Other,
  Search,        // find by type and creator: "not found" ends the search
  ReadRecord,    // by index: "not found" is an index past the end
  ReadAppBlock,  // "not found": the database has no app-info block
};

int32_t syncResultFor(uint16_t dlpError, SyncOperation operation = SyncOperation::Other);

// The other way, for the simulated handheld's answers: the DLP error that a desktop maps
// back to syncResult (for the operation that gave it).
uint16_t dlpErrorFor(int32_t syncResult);

}  // namespace lumora::link
