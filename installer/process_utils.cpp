#include "installer/process_utils.h"

#include <cstring>

#include "platform/process/process.h"

namespace lumora::installer {

uint8_t execute(std::string_view commandLine, uint32_t waitFlag) {
  auto started = process::launcher().create(commandLine);
  if (!started) return 0;
  if (!started->closeThreadHandle()) return 0;
  if ((waitFlag & 0xFF) != 0 && !started->waitForExit()) return 0;
  return 1;
}

void shortenSize(int32_t size, char* number, char* unit) {
  // Hundredths of a kilobyte, exactly: |size| * 100 / 1024 = |size| * 25 / 256, with the
  // remainder deciding the rounding. printf("%.2f") would round halves to even.
  const bool negative = size < 0;
  const uint64_t magnitude =
      negative ? uint64_t{0} - static_cast<uint64_t>(int64_t{size}) : static_cast<uint64_t>(size);
  const uint64_t scaled = magnitude * 25;
  uint64_t hundredths = scaled / 256;
  if ((scaled % 256) * 2 >= 256) ++hundredths;

  char digits[kNumberTextSize];
  size_t n = 0;
  const uint64_t fraction = hundredths % 100;
  uint64_t whole = hundredths / 100;
  digits[n++] = static_cast<char>('0' + fraction % 10);
  digits[n++] = static_cast<char>('0' + fraction / 10);
  digits[n++] = '.';
  do {
    digits[n++] = static_cast<char>('0' + whole % 10);
    whole /= 10;
  } while (whole != 0);
  if (negative) digits[n++] = '-';

  for (size_t i = 0; i < n; ++i) number[i] = digits[n - 1 - i];
  number[n] = '\0';
  std::memcpy(unit, "KB", kUnitTextSize);
}

}  // namespace lumora::installer
