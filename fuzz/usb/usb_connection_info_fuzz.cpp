// The answers of a USB handheld's connection-info requests, arbitrary bytes. The first byte
// picks the request (0 extended, 1 short, 2 bytes available), the rest is the answer. An
// accepted answer must name endpoints 1 to 15, and must have been long enough for the
// ports it announces; the decoders never read past the answer (the sanitizers check).
#include <cstdint>
#include <cstdlib>

#include "hotsync/link/usb_connection_info.h"

using lumora::ByteView;
using namespace lumora::link;

namespace {

void checkEndpoints(const Result<UsbEndpoints>& got) {
  if (!got) {
    if (got.error().message.empty()) std::abort();
    return;
  }
  if (got->in < 1 || got->in > 15 || got->out < 1 || got->out > 15) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  ByteView answer(data + 1, size - 1);
  switch (data[0] % 3) {
    case 0: {
      auto got = decodeExtConnectionInfo(answer);
      checkEndpoints(got);
      if (got && (answer[0] == 0 || answer[0] > 2 || answer.size() < 4u + 8u * answer[0]))
        std::abort();
      break;
    }
    case 1: {
      auto got = decodeConnectionInfo(answer);
      checkEndpoints(got);
      if (got && answer.size() < 4) std::abort();
      break;
    }
    default: {
      auto got = decodeNumBytesAvailable(answer);
      if (bool(got) != (answer.size() == 2)) std::abort();
      break;
    }
  }
  return 0;
}
