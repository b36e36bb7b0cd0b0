#include "hotsync/link/sync_result.h"

#include "hotsync/link/dlp_functions.h"

namespace lumora::link {

int32_t syncResultFor(uint16_t dlpError, SyncOperation operation) {
  using namespace syncresult;
  switch (dlpError) {
    case dlp::kErrNone:
      return kOk;
    case dlp::kErrNotFound:
      switch (operation) {
        case SyncOperation::Search:
          return kNoMore;
        case SyncOperation::ReadRecord:
          return kNoRecord;
        case SyncOperation::ReadAppBlock:
          return kNoAppInfo;
        default:
          return kNotFound;
      }
    case dlp::kErrRecordDeleted:
      return kNoRecord;
    case dlp::kErrAlreadyExists:
      return kExists;
    case dlp::kErrDatabaseOpen:
    case dlp::kErrRecordBusy:
      return kAlreadyOpen;
    case dlp::kErrTooManyOpen:
      return kTooManyOpen;
    case dlp::kErrIllegalRequest:
    case dlp::kErrParameter:
    case dlp::kErrNoneOpen:
    case dlp::kErrNotSupported:
    case dlp::kErrBadWrapper:
    case dlp::kErrArgMissing:
    case dlp::kErrArgSize:
      return kBadArg;
    case dlp::kErrReadOnly:
      return kReadOnly;
    case dlp::kErrLimitExceeded:
      return kTooLarge;
    case dlp::kErrCancelSync:
      return kNotConnected;
    default:  // system, memory, can't open, not enough space and codes not known here
      return kStorage;
  }
}

}  // namespace lumora::link
