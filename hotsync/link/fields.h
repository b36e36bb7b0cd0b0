// Field-by-field reading and writing of DLP argument bytes, with sticky errors that name
// the field, its offset and the sizes involved. Used by the typed functions only.
#pragma once

#include <optional>
#include <string>

#include "common/bytes.h"
#include "hotsync/link/dlp_functions.h"
#include "hotsync/link/result.h"

namespace lumora::link::dlp {

class FieldReader {
 public:
  FieldReader(ByteView data, std::string what) : data_(data), what_(std::move(what)) {}

  uint8_t u8(const char* field);
  uint16_t be16(const char* field);
  uint32_t be32(const char* field);
  Date date(const char* field);
  ByteView bytes(size_t n, const char* field);
  ByteView rest() { return bytes(left(), "data"); }
  // Zero-terminated text; the zero is consumed.
  std::string cstring(const char* field);
  // `n` bytes holding text and its zero (0 bytes: empty text).
  std::string sizedCString(size_t n, const char* field);

  size_t left() const { return failed() ? 0 : data_.size() - at_; }
  bool failed() const { return error_.has_value(); }
  void fail(ErrorCode code, std::string message);
  // The first error, or one for bytes left over.
  std::optional<Error> finish();

 private:
  bool need(size_t n, const char* field);

  ByteView data_;
  std::string what_;
  size_t at_ = 0;
  std::optional<Error> error_;
};

class FieldWriter {
 public:
  explicit FieldWriter(std::string what) : what_(std::move(what)) {}

  void u8(uint8_t v) { appendU8(out_, v); }
  void be16(uint16_t v) { appendBe16(out_, v); }
  void be32(uint32_t v) { appendBe32(out_, v); }
  void date(const Date& d);
  void bytes(ByteView b) { out_.insert(out_.end(), b.begin(), b.end()); }
  void cstring(const std::string& s, const char* field);
  // A count or length into a field of `limit` at most.
  uint32_t length(size_t n, size_t limit, const char* field);

  std::optional<Error> error() const { return error_; }
  Bytes take() { return std::move(out_); }

 private:
  Bytes out_;
  std::string what_;
  std::optional<Error> error_;
};

}  // namespace lumora::link::dlp
