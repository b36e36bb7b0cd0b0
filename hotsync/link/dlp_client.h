// The one typed DLP client: a request message encoded, sent through the caller's exchange,
// and its answer decoded back into the message's answer type. Pure: the bytes go out and
// come back through the exchange. What a failure means (a Sync Manager code, a line for
// the user) is the caller's business.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "common/bytes.h"
#include "hotsync/link/dlp_functions.h"
#include "hotsync/link/dlp_packet.h"

namespace lumora::link {

enum class DlpCallStatus {
  Answered,    // a response came; see dlpError and answer
  BadRequest,  // the message holds a value its request cannot carry (error)
  LinkBroke,   // the exchange failed
  Malformed,   // the response's bytes are no DLP response (error)
};

template <class Answer>
struct DlpReply {
  DlpCallStatus status = DlpCallStatus::LinkBroke;
  std::string error;
  uint8_t function = 0;  // the function the response is for
  uint16_t dlpError = 0;
  std::optional<Answer> answer;  // the response's arguments, when they decode as Answer
  std::string answerError;       // why they do not
};

class DlpClient {
 public:
  // Sends one request and returns the answer's bytes; nullopt when the link broke.
  using Exchange = std::function<std::optional<Bytes>(ByteView request)>;

  explicit DlpClient(Exchange exchange) : exchange_(std::move(exchange)) {}

  template <class Answer, class Message>
  DlpReply<Answer> call(const Message& message) const {
    DlpReply<Answer> reply;
    auto request = dlp::toRequest(message);
    auto bytes = request ? encodeRequest(*request) : Result<Bytes>(request.error());
    if (!bytes) {
      reply.status = DlpCallStatus::BadRequest;
      reply.error = bytes.error().message;
      return reply;
    }
    auto answered = exchange_(*bytes);
    if (!answered) return reply;
    auto response = decodeResponse(*answered);
    if (!response) {
      reply.status = DlpCallStatus::Malformed;
      reply.error = response.error().message;
      return reply;
    }
    reply.status = DlpCallStatus::Answered;
    reply.function = response->function;
    reply.dlpError = response->error;
    auto typed = dlp::fromResponse<Answer>(*response);
    if (typed)
      reply.answer = std::move(*typed);
    else
      reply.answerError = typed.error().message;
    return reply;
  }

 private:
  Exchange exchange_;
};

}  // namespace lumora::link
