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

uint16_t dlpErrorFor(int32_t syncResult) {
  using namespace syncresult;
  switch (syncResult) {
    case kOk:
      return dlp::kErrNone;
    case kNoMore:
    case kNotFound:
    case kNoRecord:
    case kNoAppInfo:
      return dlp::kErrNotFound;
    case kExists:
      return dlp::kErrAlreadyExists;
    case kAlreadyOpen:
      return dlp::kErrDatabaseOpen;
    case kBadArg:
      return dlp::kErrParameter;
    case kReadOnly:
      return dlp::kErrReadOnly;
    case kTooLarge:
      return dlp::kErrLimitExceeded;
    case kTooManyOpen:
      return dlp::kErrTooManyOpen;
    default:  // storage, and codes no store gives
      return dlp::kErrSystem;
  }
}

}  // namespace lumora::link
