// The installer's small utilities: start a program, format a byte count.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace lumora::installer {

// Starts the program of a Windows-style command line and, when the low byte of waitFlag is
// not zero, waits for it to end. 1 when started (and waited for), 0 on any failure. The
// program's exit code is not looked at.
uint8_t execute(std::string_view commandLine, uint32_t waitFlag);

inline constexpr size_t kNumberTextSize = 12;  // "-2097152.00" and the terminator
inline constexpr size_t kUnitTextSize = 3;

// size / 1024 with two decimals, halves rounded away from zero, the sign kept for values
// that round to zero ("-0.00"); the unit is always "KB".
void shortenSize(int32_t size, char* number, char* unit);

}  // namespace lumora::installer
