#include "hotsync/link/event_list.h"

#include <optional>
#include <string>

namespace lumora::link {
namespace {

class JsonCursor {
 public:
  explicit JsonCursor(std::string_view text) : text_(text) {}

  void skipSpace() {
    while (at_ < text_.size() &&
           (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\n' || text_[at_] == '\r')) {
      ++at_;
    }
  }
  bool atEnd() const { return at_ >= text_.size(); }
  char peek() const { return atEnd() ? '\0' : text_[at_]; }
  bool accept(char c) {
    if (peek() != c || atEnd()) return false;
    ++at_;
    return true;
  }
  Error error(const std::string& message) const {
    size_t line = 1, column = 1;
    for (size_t i = 0; i < at_ && i < text_.size(); ++i) {
      if (text_[i] == '\n') {
        ++line;
        column = 1;
      } else {
        ++column;
      }
    }
    return makeError(ErrorCode::BadValue, "line " + std::to_string(line) + ", column " +
                                              std::to_string(column) + ": " + message);
  }

  // A string without escapes other than the simple ones; recordings hold only words and hex.
  Result<std::string> string() {
    if (!accept('"')) return error("expected a string");
    std::string out;
    while (!atEnd()) {
      char c = text_[at_];
      if (c == '"') {
        ++at_;
        return out;
      }
      if (static_cast<unsigned char>(c) < 0x20) return error("control character in a string");
      if (c == '\\') {
        ++at_;
        char e = peek();
        const std::string_view from = "\"\\/bfnrt", to = "\"\\/\b\f\n\r\t";
        size_t k = from.find(e);
        if (atEnd() || k == std::string_view::npos) return error("unsupported escape in a string");
        out += to[k];
      } else {
        out += c;
      }
      ++at_;
    }
    return error("unterminated string");
  }

 private:
  std::string_view text_;
  size_t at_ = 0;
};

std::optional<Bytes> fromHex(const std::string& hex) {
  if (hex.size() % 2) return std::nullopt;
  auto digit = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  Bytes out;
  out.reserve(hex.size() / 2);
  for (size_t i = 0; i < hex.size(); i += 2) {
    int hi = digit(hex[i]), lo = digit(hex[i + 1]);
    if (hi < 0 || lo < 0) return std::nullopt;
    out.push_back(static_cast<uint8_t>(hi * 16 + lo));
  }
  return out;
}

Result<StreamEvent> event(JsonCursor& in) {
  if (!in.accept('{')) return in.error("expected '{' to start an event");
  std::optional<std::string> type, data;
  in.skipSpace();
  if (in.accept('}')) return in.error("an event needs \"type\" and \"data\"");
  while (true) {
    in.skipSpace();
    auto key = in.string();
    if (!key) return key.error();
    in.skipSpace();
    if (!in.accept(':')) return in.error("expected ':' after a key");
    in.skipSpace();
    std::optional<std::string>* slot = *key == "type" ? &type : *key == "data" ? &data : nullptr;
    if (slot == nullptr) return in.error("unexpected key \"" + *key + "\"");
    if (slot->has_value()) return in.error("key \"" + *key + "\" given twice");
    auto value = in.string();
    if (!value) return value.error();
    *slot = std::move(*value);
    in.skipSpace();
    if (in.accept('}')) break;
    if (!in.accept(',')) return in.error("expected ',' or '}' in an event");
  }
  if (!type || !data) return in.error("an event needs \"type\" and \"data\"");
  if (*type != "read" && *type != "write") {
    return in.error("event type \"" + *type + "\" is neither \"read\" nor \"write\"");
  }
  auto bytes = fromHex(*data);
  if (!bytes) return in.error("event data is not an even number of hex digits");
  return StreamEvent{*type == "read", std::move(*bytes)};
}

}  // namespace

Result<std::vector<StreamEvent>> parseEventList(std::string_view json) {
  JsonCursor in(json);
  std::vector<StreamEvent> events;
  in.skipSpace();
  if (!in.accept('[')) return in.error("expected '[' to start the event list");
  in.skipSpace();
  if (!in.accept(']')) {
    while (true) {
      in.skipSpace();
      auto e = event(in);
      if (!e) return e.error();
      events.push_back(std::move(*e));
      in.skipSpace();
      if (in.accept(']')) break;
      if (!in.accept(',')) return in.error("expected ',' or ']' in the event list");
    }
  }
  in.skipSpace();
  if (!in.atEnd()) return in.error("text after the event list");
  return events;
}

}  // namespace lumora::link
