#include "hotsync/link/dlp_packet.h"

#include <string>

namespace lumora::link {
namespace {

constexpr uint8_t kAnswerBit = 0x80;
constexpr uint8_t kSmallBit = 0x80;
constexpr uint8_t kLongBit = 0x40;
constexpr uint8_t kIdMask = 0x3F;

Wrapper smallestFor(size_t size) {
  if (size <= 0xFF) return Wrapper::Tiny;
  if (size <= 0xFFFF) return Wrapper::Small;
  return Wrapper::Long;
}

size_t limitOf(Wrapper w) {
  switch (w) {
    case Wrapper::Tiny:
      return 0xFF;
    case Wrapper::Small:
      return 0xFFFF;
    default:
      return 0xFFFFFFFF;
  }
}

const char* nameOf(Wrapper w) {
  switch (w) {
    case Wrapper::Tiny:
      return "tiny";
    case Wrapper::Small:
      return "small";
    case Wrapper::Long:
      return "long";
    default:
      return "auto";
  }
}

std::optional<Error> appendArguments(Bytes& out, const std::vector<Argument>& args) {
  if (args.size() > 0xFF) {
    return makeError(ErrorCode::TooLarge,
                     std::to_string(args.size()) + " arguments, at most 255 fit a packet");
  }
  appendU8(out, static_cast<uint8_t>(args.size()));
  for (size_t i = 0; i < args.size(); ++i) {
    const Argument& a = args[i];
    if (a.id > kIdMask) {
      return makeError(ErrorCode::BadValue, "argument " + std::to_string(i) + " has id " +
                                                std::to_string(a.id) + ", above 63");
    }
    Wrapper w = a.wrapper == Wrapper::Auto ? smallestFor(a.data.size()) : a.wrapper;
    if (a.data.size() > limitOf(w)) {
      return makeError(ErrorCode::TooLarge, "argument " + std::to_string(i) + " holds " +
                                                std::to_string(a.data.size()) + " bytes, a " +
                                                nameOf(w) + " wrapper at most " +
                                                std::to_string(limitOf(w)));
    }
    auto size = static_cast<uint32_t>(a.data.size());
    switch (w) {
      case Wrapper::Tiny:
        appendU8(out, a.id);
        appendU8(out, static_cast<uint8_t>(size));
        break;
      case Wrapper::Small:
        appendU8(out, a.id | kSmallBit);
        appendU8(out, 0);
        appendBe16(out, static_cast<uint16_t>(size));
        break;
      default:
        appendU8(out, a.id | kLongBit);
        appendU8(out, 0);
        appendBe32(out, size);
        break;
    }
    out.insert(out.end(), a.data.begin(), a.data.end());
  }
  return std::nullopt;
}

// Reads `count` arguments from `at` to exactly the end of the packet.
Result<std::vector<Argument>> readArguments(ByteView packet, size_t at, size_t count) {
  std::vector<Argument> args;
  for (size_t i = 0; i < count; ++i) {
    auto head = readU8(packet, at);
    if (!head) {
      return makeError(ErrorCode::Truncated, "packet of " + std::to_string(packet.size()) +
                                                 " bytes ends before argument " +
                                                 std::to_string(i) + " of " +
                                                 std::to_string(count));
    }
    Argument a;
    a.id = *head & kIdMask;
    size_t size = 0;
    size_t headerSize = 0;
    if ((*head & (kSmallBit | kLongBit)) == 0) {
      a.wrapper = Wrapper::Tiny;
      auto n = readU8(packet, at + 1);
      if (n) size = *n;
      headerSize = 2;
    } else if ((*head & (kSmallBit | kLongBit)) == kSmallBit) {
      a.wrapper = Wrapper::Small;
      auto n = readBe16(packet, at + 2);
      if (n) size = *n;
      headerSize = 4;
    } else if ((*head & (kSmallBit | kLongBit)) == kLongBit) {
      a.wrapper = Wrapper::Long;
      auto n = readBe32(packet, at + 2);
      if (n) size = *n;
      headerSize = 6;
    } else {
      return makeError(ErrorCode::BadWrapper, "argument " + std::to_string(i) + " at offset " +
                                                  std::to_string(at) + " has wrapper byte " +
                                                  std::to_string(*head));
    }
    if (packet.size() - at < headerSize) {
      return makeError(ErrorCode::Truncated,
                       "argument " + std::to_string(i) + " header at offset " + std::to_string(at) +
                           " needs " + std::to_string(headerSize) + " bytes, " +
                           std::to_string(packet.size() - at) + " left");
    }
    if (headerSize > 2 && packet[at + 1] != 0) {
      return makeError(ErrorCode::BadWrapper, "argument " + std::to_string(i) + " at offset " +
                                                  std::to_string(at) + " has reserved byte " +
                                                  std::to_string(packet[at + 1]));
    }
    at += headerSize;
    if (size > packet.size() - at) {
      return makeError(ErrorCode::Truncated, "argument " + std::to_string(i) + " announces " +
                                                 std::to_string(size) + " bytes, " +
                                                 std::to_string(packet.size() - at) + " left");
    }
    auto from = packet.begin() + static_cast<std::ptrdiff_t>(at);
    a.data.assign(from, from + static_cast<std::ptrdiff_t>(size));
    at += size;
    args.push_back(std::move(a));
  }
  if (at != packet.size()) {
    return makeError(ErrorCode::TrailingBytes,
                     std::to_string(packet.size() - at) + " bytes after the last argument");
  }
  return args;
}

}  // namespace

Result<Bytes> encodeRequest(const Request& request) {
  if (request.function & kAnswerBit) {
    return makeError(ErrorCode::BadValue,
                     "request function id " + std::to_string(request.function) + " has bit 0x80");
  }
  Bytes out;
  appendU8(out, request.function);
  if (auto e = appendArguments(out, request.args)) return *e;
  return out;
}

Result<Bytes> encodeResponse(const Response& response) {
  if (response.function & kAnswerBit) {
    return makeError(
        ErrorCode::BadValue,
        "answer function id " + std::to_string(response.function) + " has bit 0x80 already");
  }
  Bytes out;
  appendU8(out, response.function | kAnswerBit);
  Bytes args;
  if (auto e = appendArguments(args, response.args)) return *e;
  // The argument count comes before the error code.
  out.push_back(args[0]);
  appendBe16(out, response.error);
  out.insert(out.end(), args.begin() + 1, args.end());
  return out;
}

Result<Request> decodeRequest(ByteView packet) {
  if (packet.size() < 2) {
    return makeError(ErrorCode::Truncated,
                     "request of " + std::to_string(packet.size()) + " bytes, at least 2 needed");
  }
  if (packet[0] & kAnswerBit) {
    return makeError(ErrorCode::WrongFunction,
                     "byte " + std::to_string(packet[0]) + " starts an answer, not a request");
  }
  auto args = readArguments(packet, 2, packet[1]);
  if (!args) return args.error();
  return Request{packet[0], std::move(*args)};
}

Result<Response> decodeResponse(ByteView packet) {
  if (packet.size() < 4) {
    return makeError(ErrorCode::Truncated,
                     "answer of " + std::to_string(packet.size()) + " bytes, at least 4 needed");
  }
  if (!(packet[0] & kAnswerBit)) {
    return makeError(ErrorCode::WrongFunction,
                     "byte " + std::to_string(packet[0]) + " starts a request, not an answer");
  }
  auto args = readArguments(packet, 4, packet[1]);
  if (!args) return args.error();
  return Response{static_cast<uint8_t>(packet[0] & ~kAnswerBit), loadBe16(packet.data() + 2),
                  std::move(*args)};
}

const Argument* findArgument(const std::vector<Argument>& args, uint8_t id) {
  for (const Argument& a : args) {
    if (a.id == id) return &a;
  }
  return nullptr;
}

}  // namespace lumora::link
