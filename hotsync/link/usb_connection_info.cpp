#include "hotsync/link/usb_connection_info.h"

#include <algorithm>
#include <string>

namespace lumora::link {
namespace {

constexpr size_t kMaxPorts = 2;
constexpr uint8_t kHotSyncFunction = 2;
constexpr uint8_t kHotSyncCreator[4] = {'c', 'n', 'y', 's'};

bool validEndpoint(uint8_t number) {
  return number >= 1 && number <= 15;
}

Error refuse(ErrorCode code, const char* request, const std::string& why) {
  return makeError(code, std::string(request) + ": " + why);
}

Result<size_t> portCount(const char* request, size_t count, size_t header, size_t perPort,
                         size_t got) {
  if (count == 0) return refuse(ErrorCode::BadValue, request, "the device announces no port");
  if (count > kMaxPorts)
    return refuse(ErrorCode::TooLarge, request,
                  "the device announces " + std::to_string(count) + " ports, at most 2 exist");
  size_t need = header + perPort * count;
  if (got < need)
    return refuse(ErrorCode::Truncated, request,
                  std::to_string(got) + " bytes for " + std::to_string(count) + " ports, " +
                      std::to_string(need) + " needed");
  return count;
}

}  // namespace

Result<UsbEndpoints> decodeExtConnectionInfo(ByteView answer) {
  constexpr const char* kName = "GetExtConnectionInfo";
  if (answer.size() < 4 || answer.size() > kUsbExtConnectionInfoSize)
    return refuse(ErrorCode::BadValue, kName,
                  "an answer of " + std::to_string(answer.size()) + " bytes, 4 to 20 expected");
  auto ports = portCount(kName, answer[0], 4, 8, answer.size());
  if (!ports) return ports.error();
  const bool apart = answer[1] != 0;
  for (size_t i = 0; i < *ports; ++i) {
    ByteView port = answer.subspan(4 + 8 * i, 8);
    if (!std::equal(port.begin(), port.begin() + 4, kHotSyncCreator)) continue;
    UsbEndpoints out;
    if (apart) {
      out.in = port[5] >> 4;
      out.out = port[5] & 0x0F;
    } else {
      out.in = out.out = port[4];
    }
    if (!validEndpoint(out.in) || !validEndpoint(out.out))
      return refuse(ErrorCode::BadValue, kName,
                    "HotSync port with endpoints " + std::to_string(out.in) + " in and " +
                        std::to_string(out.out) + " out");
    return out;
  }
  return refuse(ErrorCode::MissingArgument, kName, "no HotSync port among the device's ports");
}

Result<UsbEndpoints> decodeConnectionInfo(ByteView answer) {
  constexpr const char* kName = "GetConnectionInfo";
  if (answer.size() < 2 || answer.size() > kUsbConnectionInfoSize)
    return refuse(ErrorCode::BadValue, kName,
                  "an answer of " + std::to_string(answer.size()) + " bytes, 2 to 6 expected");
  auto ports = portCount(kName, *readLe16(answer, 0), 2, 2, answer.size());
  if (!ports) return ports.error();
  for (size_t i = 0; i < *ports; ++i) {
    const uint8_t function = answer[2 + 2 * i];
    const uint8_t number = answer[3 + 2 * i];
    if (function != kHotSyncFunction) continue;
    if (!validEndpoint(number))
      return refuse(ErrorCode::BadValue, kName,
                    "HotSync port on endpoint " + std::to_string(number));
    return UsbEndpoints{number, number};
  }
  return refuse(ErrorCode::MissingArgument, kName, "no HotSync port among the device's ports");
}

Result<uint16_t> decodeNumBytesAvailable(ByteView answer) {
  if (answer.size() != kUsbNumBytesAvailableSize)
    return refuse(ErrorCode::BadValue, "GetNumBytesAvailable",
                  "an answer of " + std::to_string(answer.size()) + " bytes, 2 expected");
  return *readBe16(answer, 0);
}

}  // namespace lumora::link
