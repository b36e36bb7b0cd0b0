#include "hotsync/link/fields.h"

#include <algorithm>

namespace lumora::link::dlp {

void FieldReader::fail(ErrorCode code, std::string message) {
  if (!error_) error_ = makeError(code, what_ + ": " + message);
}

bool FieldReader::need(size_t n, const char* field) {
  if (failed()) return false;
  if (data_.size() - at_ < n) {
    fail(ErrorCode::Truncated, std::string(field) + " at offset " + std::to_string(at_) +
                                   " needs " + std::to_string(n) + " bytes, " +
                                   std::to_string(data_.size() - at_) + " left");
    return false;
  }
  return true;
}

uint8_t FieldReader::u8(const char* field) {
  if (!need(1, field)) return 0;
  return data_[at_++];
}

uint16_t FieldReader::be16(const char* field) {
  if (!need(2, field)) return 0;
  uint16_t v = loadBe16(data_.data() + at_);
  at_ += 2;
  return v;
}

uint32_t FieldReader::be32(const char* field) {
  if (!need(4, field)) return 0;
  uint32_t v = loadBe32(data_.data() + at_);
  at_ += 4;
  return v;
}

Date FieldReader::date(const char* field) {
  if (!need(8, field)) return {};
  Date d;
  d.year = be16(field);
  d.month = u8(field);
  d.day = u8(field);
  d.hour = u8(field);
  d.minute = u8(field);
  d.second = u8(field);
  d.pad = u8(field);
  return d;
}

ByteView FieldReader::bytes(size_t n, const char* field) {
  if (!need(n, field)) return {};
  ByteView v = data_.subspan(at_, n);
  at_ += n;
  return v;
}

std::string FieldReader::cstring(const char* field) {
  if (failed()) return {};
  auto from = data_.begin() + static_cast<std::ptrdiff_t>(at_);
  auto zero = std::find(from, data_.end(), uint8_t{0});
  if (zero == data_.end()) {
    fail(ErrorCode::Truncated, std::string(field) + " at offset " + std::to_string(at_) +
                                   " has no terminating zero in " +
                                   std::to_string(data_.size() - at_) + " bytes");
    return {};
  }
  std::string s(from, zero);
  at_ += s.size() + 1;
  return s;
}

std::string FieldReader::sizedCString(size_t n, const char* field) {
  size_t start = at_;
  ByteView b = bytes(n, field);
  if (failed() || n == 0) return {};
  auto zero = std::find(b.begin(), b.end(), uint8_t{0});
  if (zero != b.end() - 1) {
    fail(ErrorCode::BadValue, std::string(field) + " at offset " + std::to_string(start) + " of " +
                                  std::to_string(n) + " bytes does not end at its first zero");
    return {};
  }
  return std::string(b.begin(), zero);
}

std::optional<Error> FieldReader::finish() {
  if (!error_ && at_ != data_.size()) {
    fail(ErrorCode::TrailingBytes,
         std::to_string(data_.size() - at_) + " bytes after the last field");
  }
  return error_;
}

void FieldWriter::date(const Date& d) {
  be16(d.year);
  u8(d.month);
  u8(d.day);
  u8(d.hour);
  u8(d.minute);
  u8(d.second);
  u8(d.pad);
}

void FieldWriter::cstring(const std::string& s, const char* field) {
  if (s.find('\0') != std::string::npos && !error_) {
    error_ = makeError(ErrorCode::BadValue, what_ + ": " + field + " holds a zero byte at " +
                                                std::to_string(s.find('\0')));
  }
  appendText(out_, s);
  appendU8(out_, 0);
}

uint32_t FieldWriter::length(size_t n, size_t limit, const char* field) {
  if (n > limit && !error_) {
    error_ = makeError(ErrorCode::TooLarge, what_ + ": " + field + " of " + std::to_string(n) +
                                                " does not fit, at most " + std::to_string(limit));
  }
  return static_cast<uint32_t>(std::min(n, limit));
}

}  // namespace lumora::link::dlp
