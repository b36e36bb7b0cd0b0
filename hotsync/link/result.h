// Errors as values for the link code: every refusal carries a code and a text with the
// numbers that caused it; nothing here throws on bad input.
#pragma once

#include <optional>
#include <string>
#include <utility>

namespace lumora::link {

enum class ErrorCode {
  Truncated,        // the bytes end before a field or argument does
  TrailingBytes,    // bytes left over after the last field
  BadWrapper,       // an argument header that is neither tiny, small nor long
  TooLarge,         // a length above a limit or above what its field can hold
  WrongFunction,    // a packet of another function than the one asked for
  MissingArgument,  // an argument the function needs is absent
  BadValue,         // a field with a value the layout does not allow
};

struct Error {
  ErrorCode code = ErrorCode::BadValue;
  std::string message;
};

template <class T>
class Result {
 public:
  Result(T value) : value_(std::move(value)) {}  // NOLINT: implicit by design
  Result(Error error) : error_(std::move(error)) {}

  explicit operator bool() const { return value_.has_value(); }
  const T& operator*() const& { return *value_; }
  T& operator*() & { return *value_; }
  T&& operator*() && { return std::move(*value_); }
  const T* operator->() const { return &*value_; }
  T* operator->() { return &*value_; }
  const Error& error() const { return error_; }

 private:
  std::optional<T> value_;
  Error error_;
};

inline Error makeError(ErrorCode code, std::string message) {
  return Error{code, std::move(message)};
}

}  // namespace lumora::link
