// The Windows build does no networking yet: every call says so.
#include "hotsync/transport/tcp_stream.h"

namespace lumora::host {

namespace {
constexpr const char* kNotSupported = "TCP is not supported on Windows yet";
}

TcpStream::~TcpStream() = default;
link::StreamRead TcpStream::read(uint8_t*, size_t, int) {
  return {link::StreamStatus::Failed, 0};
}
bool TcpStream::write(ByteView) {
  return false;
}
std::string TcpStream::peer() const {
  return {};
}
Connection connectTcp(const HostPort&, int) {
  return {nullptr, kNotSupported};
}
std::unique_ptr<TcpListener> TcpListener::open(const HostPort&, std::string& error) {
  error = kNotSupported;
  return nullptr;
}
TcpListener::~TcpListener() = default;
TcpListener::Accepted TcpListener::accept(int) {
  return {Status::Failed, nullptr, kNotSupported};
}

}  // namespace lumora::host
