// The Windows build has no serial lines yet: every call says so.
#include "hotsync/transport/serial_port.h"

namespace lumora::host {

std::unique_ptr<SerialPort> SerialPort::open(const std::string&, uint32_t, std::string& error) {
  error = "serial lines are not supported on Windows yet";
  return nullptr;
}
SerialPort::~SerialPort() = default;
link::StreamRead SerialPort::read(uint8_t*, size_t, int) {
  return {link::StreamStatus::Failed, 0};
}
bool SerialPort::write(ByteView) {
  return false;
}
bool SerialPort::setSpeed(uint32_t, std::string& error) {
  error = "serial lines are not supported on Windows yet";
  return false;
}
void SerialPort::discardInput() {}

}  // namespace lumora::host
