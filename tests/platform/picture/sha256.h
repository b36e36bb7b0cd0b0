// SHA-256, for comparing decoded pixels with reference digests.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace lumora::test {

// Lower-case hexadecimal digest of bytes.
std::string sha256Hex(std::span<const uint8_t> bytes);

}  // namespace lumora::test
