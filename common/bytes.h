// Explicit big- and little-endian field access. Callers check lengths before use;
// the span-based readers below return nullopt instead of reading past the end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace lumora {

using Bytes = std::vector<uint8_t>;
using ByteView = std::span<const uint8_t>;

constexpr uint16_t loadBe16(const uint8_t* p) {
  return static_cast<uint16_t>((uint16_t{p[0]} << 8) | p[1]);
}
constexpr uint32_t loadBe32(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}
constexpr uint16_t loadLe16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (uint16_t{p[1]} << 8));
}
constexpr uint32_t loadLe32(const uint8_t* p) {
  return p[0] | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

constexpr void storeBe16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v >> 8);
  p[1] = static_cast<uint8_t>(v);
}
constexpr void storeBe32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v >> 24);
  p[1] = static_cast<uint8_t>(v >> 16);
  p[2] = static_cast<uint8_t>(v >> 8);
  p[3] = static_cast<uint8_t>(v);
}
constexpr void storeLe16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
constexpr void storeLe32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

// Bounds-checked reads at an offset of a byte view.
inline std::optional<uint8_t> readU8(ByteView b, size_t at) {
  if (at >= b.size()) return std::nullopt;
  return b[at];
}
inline std::optional<uint16_t> readBe16(ByteView b, size_t at) {
  if (at > b.size() || b.size() - at < 2) return std::nullopt;
  return loadBe16(b.data() + at);
}
inline std::optional<uint32_t> readBe32(ByteView b, size_t at) {
  if (at > b.size() || b.size() - at < 4) return std::nullopt;
  return loadBe32(b.data() + at);
}
inline std::optional<uint16_t> readLe16(ByteView b, size_t at) {
  if (at > b.size() || b.size() - at < 2) return std::nullopt;
  return loadLe16(b.data() + at);
}
inline std::optional<uint32_t> readLe32(ByteView b, size_t at) {
  if (at > b.size() || b.size() - at < 4) return std::nullopt;
  return loadLe32(b.data() + at);
}

// Appending writers for building byte layouts front to back.
inline void appendU8(Bytes& out, uint8_t v) {
  out.push_back(v);
}
inline void appendBe16(Bytes& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v >> 8));
  out.push_back(static_cast<uint8_t>(v));
}
inline void appendBe32(Bytes& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}
inline void appendLe16(Bytes& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
inline void appendLe32(Bytes& out, uint32_t v) {
  for (int shift = 0; shift <= 24; shift += 8) out.push_back(static_cast<uint8_t>(v >> shift));
}
inline void appendText(Bytes& out, std::string_view s) {
  out.insert(out.end(), s.begin(), s.end());
}

// Four-character codes with the first character in the most significant byte.
constexpr uint32_t fourCC(const char (&s)[5]) {
  return (uint32_t(uint8_t(s[0])) << 24) | (uint32_t(uint8_t(s[1])) << 16) |
         (uint32_t(uint8_t(s[2])) << 8) | uint32_t(uint8_t(s[3]));
}

}  // namespace lumora
