#include "hotsync/link/sync_result.h"

#include "hotsync/link/dlp_functions.h"

namespace lumora::link {

int32_t syncResultFor(uint16_t dlpError, SyncOperation operation) {
  switch (dlpError) {
    case dlp::kErrNone:
      return SYNC_OK;
    case dlp::kErrNotFound:
      switch (operation) {
        case SyncOperation::Search:
          return SYNC_ERR_NO_MORE;
        case SyncOperation::ReadRecord:
          return SYNC_ERR_NO_RECORD;
        case SyncOperation::ReadAppBlock:
          return SYNC_ERR_NO_APP_INFO;
        default:
          return SYNC_ERR_NOT_FOUND;
      }
    case dlp::kErrRecordDeleted:
      return SYNC_ERR_NO_RECORD;
    case dlp::kErrAlreadyExists:
      return SYNC_ERR_EXISTS;
    case dlp::kErrDatabaseOpen:
    case dlp::kErrRecordBusy:
      return SYNC_ERR_ALREADY_OPEN;
    case dlp::kErrTooManyOpen:
      return SYNC_ERR_TOO_MANY_OPEN;
    case dlp::kErrIllegalRequest:
    case dlp::kErrParameter:
    case dlp::kErrNoneOpen:
    case dlp::kErrNotSupported:
    case dlp::kErrBadWrapper:
    case dlp::kErrArgMissing:
    case dlp::kErrArgSize:
      return SYNC_ERR_BAD_ARG;
    case dlp::kErrReadOnly:
      return SYNC_ERR_READ_ONLY;
    case dlp::kErrLimitExceeded:
      return SYNC_ERR_TOO_LARGE;
    case dlp::kErrCancelSync:
      return SYNC_ERR_NOT_CONNECTED;
    default:  // system, memory, can't open, not enough space and codes not known here
      return SYNC_ERR_STORAGE;
  }
}

uint16_t dlpErrorFor(int32_t syncResult) {
  switch (syncResult) {
    case SYNC_OK:
      return dlp::kErrNone;
    case SYNC_ERR_NOT_FOUND:  // also the end of a search, a record index, no app-info block
      return dlp::kErrNotFound;
    case SYNC_ERR_EXISTS:
      return dlp::kErrAlreadyExists;
    case SYNC_ERR_ALREADY_OPEN:
      return dlp::kErrDatabaseOpen;
    case SYNC_ERR_BAD_ARG:
      return dlp::kErrParameter;
    case SYNC_ERR_READ_ONLY:
      return dlp::kErrReadOnly;
    case SYNC_ERR_TOO_LARGE:
      return dlp::kErrLimitExceeded;
    case SYNC_ERR_TOO_MANY_OPEN:
      return dlp::kErrTooManyOpen;
    default:  // storage, and codes no store gives
      return dlp::kErrSystem;
  }
}

}  // namespace lumora::link
