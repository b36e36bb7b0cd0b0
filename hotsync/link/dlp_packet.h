// The generic Desktop Link Protocol layer: a request is a function id and arguments, an
// answer the function id | 0x80, an error code and arguments. Each argument travels in a
// tiny, small or long wrapper; decoding remembers which, so a packet re-encodes to the same
// bytes. Whole packets only: the framing below has already found where a packet ends.
#pragma once

#include <cstdint>
#include <vector>

#include "common/bytes.h"
#include "hotsync/link/result.h"

namespace lumora::link {

enum class Wrapper : uint8_t {
  Auto,   // encode with the smallest that fits
  Tiny,   // id, length u8
  Small,  // id | 0x80, 0, length u16
  Long,   // id | 0x40, 0, length u32
};

inline constexpr uint8_t kFirstArgId = 0x20;

struct Argument {
  uint8_t id = kFirstArgId;  // 0x00 .. 0x3F
  Bytes data;
  Wrapper wrapper = Wrapper::Auto;
  bool operator==(const Argument&) const = default;
};

struct Request {
  uint8_t function = 0;  // below 0x80
  std::vector<Argument> args;
  bool operator==(const Request&) const = default;
};

struct Response {
  uint8_t function = 0;  // without the 0x80 answer bit
  uint16_t error = 0;
  std::vector<Argument> args;
  bool operator==(const Response&) const = default;
};

Result<Bytes> encodeRequest(const Request& request);
Result<Bytes> encodeResponse(const Response& response);
Result<Request> decodeRequest(ByteView packet);
Result<Response> decodeResponse(ByteView packet);

// The first argument with this id, or null.
const Argument* findArgument(const std::vector<Argument>& args, uint8_t id);

}  // namespace lumora::link
