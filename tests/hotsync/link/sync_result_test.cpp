#include "hotsync/link/sync_result.h"

#include <gtest/gtest.h>

#include "hotsync/api/hotsync.h"
#include "hotsync/link/dlp_functions.h"

namespace lumora::link {
namespace {

TEST(SyncResult, MapsEveryDlpErrorToAResultTheConduitKnows) {
  using Op = SyncOperation;
  struct Case {
    uint16_t dlp;
    Op op;
    int32_t result;
  };
  const Case cases[] = {
      {dlp::kErrNone, Op::Other, SYNC_OK},
      {dlp::kErrNone, Op::Search, SYNC_OK},
      {dlp::kErrNotFound, Op::Other, SYNC_ERR_NOT_FOUND},
      {dlp::kErrNotFound, Op::Search, SYNC_ERR_NO_MORE},
      {dlp::kErrNotFound, Op::ReadRecord, SYNC_ERR_NO_RECORD},
      {dlp::kErrNotFound, Op::ReadAppBlock, SYNC_ERR_NO_APP_INFO},
      {dlp::kErrAlreadyExists, Op::Other, SYNC_ERR_EXISTS},
      // The three the name-flag list logs by name.
      {dlp::kErrTooManyOpen, Op::Other, SYNC_ERR_TOO_MANY_OPEN},
      {dlp::kErrDatabaseOpen, Op::Other, SYNC_ERR_ALREADY_OPEN},
      {dlp::kErrParameter, Op::Other, SYNC_ERR_BAD_ARG},
      {dlp::kErrNoneOpen, Op::Other, SYNC_ERR_BAD_ARG},
      {dlp::kErrIllegalRequest, Op::Search, SYNC_ERR_BAD_ARG},
      {dlp::kErrNotSupported, Op::Other, SYNC_ERR_BAD_ARG},
      {dlp::kErrBadWrapper, Op::Other, SYNC_ERR_BAD_ARG},
      {dlp::kErrArgMissing, Op::Other, SYNC_ERR_BAD_ARG},
      {dlp::kErrArgSize, Op::Other, SYNC_ERR_BAD_ARG},
      {dlp::kErrRecordDeleted, Op::ReadRecord, SYNC_ERR_NO_RECORD},
      {dlp::kErrRecordBusy, Op::ReadRecord, SYNC_ERR_ALREADY_OPEN},
      {dlp::kErrReadOnly, Op::Other, SYNC_ERR_READ_ONLY},
      {dlp::kErrLimitExceeded, Op::Other, SYNC_ERR_TOO_LARGE},
      {dlp::kErrCancelSync, Op::Other, SYNC_ERR_NOT_CONNECTED},
      {dlp::kErrSystem, Op::Other, SYNC_ERR_STORAGE},
      {dlp::kErrMemory, Op::Other, SYNC_ERR_STORAGE},
      {dlp::kErrCantOpen, Op::Other, SYNC_ERR_STORAGE},
      {dlp::kErrNotEnoughSpace, Op::Other, SYNC_ERR_STORAGE},
      {0x0E, Op::Other, SYNC_ERR_STORAGE},
      {0xFFFF, Op::Search, SYNC_ERR_STORAGE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dlp);
    EXPECT_EQ(syncResultFor(c.dlp, c.op), c.result);
  }
}

}  // namespace
}  // namespace lumora::link
