// Shared checks of the DLP fuzz targets: whatever a decoder accepts must encode again, and
// decode from those bytes to the same fields.
#pragma once

#include <cstdlib>

#include "hotsync/link/dlp_functions.h"

namespace lumora::link::fuzz {

template <class T>
void checkTypedRequest(const Request& request) {
  if (request.function != T::kFunction) return;
  auto typed = dlp::fromRequest<T>(request);
  if (!typed) {
    if (typed.error().message.empty()) std::abort();
    return;
  }
  auto again = dlp::toRequest(*typed);
  if (!again) std::abort();
  auto bytes = encodeRequest(*again);
  if (!bytes) std::abort();
  auto generic = decodeRequest(*bytes);
  if (!generic) std::abort();
  auto back = dlp::fromRequest<T>(*generic);
  if (!back || !(*back == *typed)) std::abort();
}

template <class T>
void checkTypedAnswer(const Response& response) {
  if (response.function != T::kFunction) return;
  auto typed = dlp::fromResponse<T>(response);
  if (!typed) {
    if (typed.error().message.empty()) std::abort();
    return;
  }
  auto again = dlp::toResponse(*typed);
  if (!again) std::abort();
  auto bytes = encodeResponse(*again);
  if (!bytes) std::abort();
  auto generic = decodeResponse(*bytes);
  if (!generic) std::abort();
  auto back = dlp::fromResponse<T>(*generic);
  if (!back || !(*back == *typed)) std::abort();
}

// The generic layer gives back exactly the bytes it accepted.
template <class Packet, class Decode, class Encode>
std::optional<Packet> checkGeneric(ByteView bytes, Decode decode, Encode encode) {
  auto packet = decode(bytes);
  if (!packet) {
    if (packet.error().message.empty()) std::abort();
    return std::nullopt;
  }
  auto again = encode(*packet);
  if (!again || *again != Bytes(bytes.begin(), bytes.end())) std::abort();
  return *packet;
}

}  // namespace lumora::link::fuzz
