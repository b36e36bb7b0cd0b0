// The simulated handheld's decoders on arbitrary bytes: a DLP request, then its fields.
#include "fuzz/hotsync/link/dlp_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace lumora::link;
  using namespace lumora::link::dlp;
  auto request =
      fuzz::checkGeneric<Request>(lumora::ByteView(data, size), decodeRequest, encodeRequest);
  if (!request) return 0;
  fuzz::checkTypedRequest<ReadUserInfoRequest>(*request);
  fuzz::checkTypedRequest<WriteUserInfoRequest>(*request);
  fuzz::checkTypedRequest<ReadSysInfoRequest>(*request);
  fuzz::checkTypedRequest<ReadDbListRequest>(*request);
  fuzz::checkTypedRequest<OpenDbRequest>(*request);
  fuzz::checkTypedRequest<CreateDbRequest>(*request);
  fuzz::checkTypedRequest<CloseDbRequest>(*request);
  fuzz::checkTypedRequest<DeleteDbRequest>(*request);
  fuzz::checkTypedRequest<ReadAppBlockRequest>(*request);
  fuzz::checkTypedRequest<WriteAppBlockRequest>(*request);
  fuzz::checkTypedRequest<ReadRecordRequest>(*request);
  fuzz::checkTypedRequest<WriteRecordRequest>(*request);
  fuzz::checkTypedRequest<WriteResourceRequest>(*request);
  fuzz::checkTypedRequest<ResetSystemRequest>(*request);
  fuzz::checkTypedRequest<AddSyncLogEntryRequest>(*request);
  fuzz::checkTypedRequest<ReadOpenDbInfoRequest>(*request);
  fuzz::checkTypedRequest<OpenConduitRequest>(*request);
  fuzz::checkTypedRequest<EndOfSyncRequest>(*request);
  fuzz::checkTypedRequest<FindDbRequest>(*request);
  return 0;
}
