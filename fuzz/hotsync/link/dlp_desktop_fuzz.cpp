// The desktop's decoders on arbitrary bytes: a DLP answer, then its fields.
#include "fuzz/hotsync/link/dlp_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace lumora::link;
  using namespace lumora::link::dlp;
  auto answer =
      fuzz::checkGeneric<Response>(lumora::ByteView(data, size), decodeResponse, encodeResponse);
  if (!answer) return 0;
  fuzz::checkTypedAnswer<UserInfo>(*answer);
  fuzz::checkTypedAnswer<WriteUserInfoAnswer>(*answer);
  fuzz::checkTypedAnswer<SysInfo>(*answer);
  fuzz::checkTypedAnswer<DbList>(*answer);
  fuzz::checkTypedAnswer<OpenDbAnswer>(*answer);
  fuzz::checkTypedAnswer<CreateDbAnswer>(*answer);
  fuzz::checkTypedAnswer<CloseDbAnswer>(*answer);
  fuzz::checkTypedAnswer<DeleteDbAnswer>(*answer);
  fuzz::checkTypedAnswer<AppBlock>(*answer);
  fuzz::checkTypedAnswer<WriteAppBlockAnswer>(*answer);
  fuzz::checkTypedAnswer<Record>(*answer);
  fuzz::checkTypedAnswer<WriteRecordAnswer>(*answer);
  fuzz::checkTypedAnswer<WriteResourceAnswer>(*answer);
  fuzz::checkTypedAnswer<ResetSystemAnswer>(*answer);
  fuzz::checkTypedAnswer<AddSyncLogEntryAnswer>(*answer);
  fuzz::checkTypedAnswer<OpenDbInfo>(*answer);
  fuzz::checkTypedAnswer<OpenConduitAnswer>(*answer);
  fuzz::checkTypedAnswer<EndOfSyncAnswer>(*answer);
  fuzz::checkTypedAnswer<FindDbAnswer>(*answer);
  return 0;
}
