#include "hotsync/transport/serial_port.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <iterator>

#include "hotsync/link/cmp.h"
#include "hotsync/link/message_link.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace lumora::host {

namespace {

speed_t speedCode(uint32_t baud) {
  switch (baud) {
    case 9600:
      return B9600;
    case 19200:
      return B19200;
    case 38400:
      return B38400;
    case 57600:
      return B57600;
    case 115200:
      return B115200;
    default:
      return B230400;
  }
}

bool configure(int fd, uint32_t baud, int when, std::string& error) {
  termios t{};
  if (tcgetattr(fd, &t) != 0) {
    error = std::string("not a serial line: ") + std::strerror(errno);
    return false;
  }
  cfmakeraw(&t);
  t.c_cflag |= CLOCAL | CREAD;
  t.c_cflag &= ~static_cast<tcflag_t>(CSTOPB | PARENB | CRTSCTS);
  t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
  if (cfsetispeed(&t, speedCode(baud)) != 0 || cfsetospeed(&t, speedCode(baud)) != 0 ||
      tcsetattr(fd, when, &t) != 0) {
    error = "cannot set " + std::to_string(baud) + " baud: " + std::strerror(errno);
    return false;
  }
  return true;
}

}  // namespace

std::unique_ptr<SerialPort> SerialPort::open(const std::string& path, uint32_t baud,
                                             std::string& error) {
  if (!isSerialSpeed(baud)) {
    error = std::to_string(baud) + " baud is not a serial HotSync speed";
    return nullptr;
  }
  // No controlling terminal; non-blocking so that a modem line without carrier opens.
  int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    error = "cannot open \"" + path + "\": " + std::strerror(errno);
    return nullptr;
  }
  std::unique_ptr<SerialPort> port(new SerialPort(fd, path));
  if (!configure(fd, baud, TCSANOW, error)) {
    error = "\"" + path + "\": " + error;
    return nullptr;
  }
  return port;
}

SerialPort::~SerialPort() {
  if (fd_ >= 0) ::close(fd_);
}

link::StreamRead SerialPort::read(uint8_t* buffer, size_t capacity, int timeoutMs) {
  using link::StreamStatus;
  pollfd p{fd_, POLLIN, 0};
  int ready = ::poll(&p, 1, timeoutMs < 0 ? 0 : timeoutMs);
  if (ready == 0) return {StreamStatus::Timeout, 0};
  // A signal ends the wait as a failure, so that Ctrl-C ends a session.
  if (ready < 0) return {StreamStatus::Failed, 0};
  ssize_t n = ::read(fd_, buffer, capacity);
  if (n > 0) return {StreamStatus::Ok, static_cast<size_t>(n)};
  if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return {StreamStatus::Timeout, 0};
  // EIO: the other end of a pseudo-terminal went away, or the device was unplugged.
  if (n == 0 || errno == EIO) return {StreamStatus::Closed, 0};
  return {StreamStatus::Failed, 0};
}

bool SerialPort::write(ByteView bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    pollfd p{fd_, POLLOUT, 0};
    int ready = ::poll(&p, 1, link::kDlpTimeoutMs);
    if (ready == 0) return false;
    if (ready < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    ssize_t n = ::write(fd_, bytes.data() + sent, bytes.size() - sent);
    if (n < 0) {
      if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) continue;
      return false;
    }
    sent += static_cast<size_t>(n);
  }
  return true;
}

bool SerialPort::setSpeed(uint32_t baud, std::string& error) {
  if (!isSerialSpeed(baud)) {
    error = std::to_string(baud) + " baud is not a serial HotSync speed";
    return false;
  }
  return configure(fd_, baud, TCSADRAIN, error);
}

void SerialPort::discardInput() {
  tcflush(fd_, TCIFLUSH);
}

}  // namespace lumora::host
