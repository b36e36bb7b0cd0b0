#include "hotsync/transport/tcp_stream.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "hotsync/link/message_link.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/files/posix_fd.h"

namespace lumora::host {

namespace {

using posix::Fd;

std::string errnoText(int error) {
  return std::strerror(error);
}

std::string formatAddress(const sockaddr* addr) {
  char text[INET6_ADDRSTRLEN] = {};
  uint16_t port = 0;
  if (addr->sa_family == AF_INET6) {
    sockaddr_in6 a;
    std::memcpy(&a, addr, sizeof a);
    inet_ntop(AF_INET6, &a.sin6_addr, text, sizeof text);
    port = ntohs(a.sin6_port);
    return "[" + std::string(text) + "]:" + std::to_string(port);
  }
  sockaddr_in a;
  std::memcpy(&a, addr, sizeof a);
  inet_ntop(AF_INET, &a.sin_addr, text, sizeof text);
  port = ntohs(a.sin_port);
  return std::string(text) + ":" + std::to_string(port);
}

struct AddrInfoDeleter {
  void operator()(addrinfo* a) const { freeaddrinfo(a); }
};
using AddrInfoList = std::unique_ptr<addrinfo, AddrInfoDeleter>;

AddrInfoList resolve(const HostPort& at, bool passive, std::string& error) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = passive ? AI_PASSIVE : 0;
  addrinfo* list = nullptr;
  std::string port = std::to_string(at.port);
  int rc = getaddrinfo(at.host.c_str(), port.c_str(), &hints, &list);
  if (rc != 0) {
    error = "cannot resolve \"" + at.host + "\": " + gai_strerror(rc);
    return nullptr;
  }
  return AddrInfoList(list);
}

// Waits for events on fd; 1 ready, 0 time-out, -1 error (errno set; EINTR: a signal).
int waitFor(int fd, short events, int timeoutMs) {
  pollfd p{fd, events, 0};
  return ::poll(&p, 1, timeoutMs < 0 ? 0 : timeoutMs);
}

}  // namespace

TcpStream::~TcpStream() {
  if (fd_ >= 0) ::close(fd_);
}

int TcpStream::wait(short events, int timeoutMs) const {
  int left = timeoutMs < 0 ? 0 : timeoutMs;
  while (true) {
    if (stopped()) return -1;
    const int slice = stop_ ? std::min(left, kStopCheckMs) : left;
    int ready = waitFor(fd_, events, slice);
    if (ready != 0) return ready;
    left -= slice;
    if (left <= 0) return 0;
  }
}

link::StreamRead TcpStream::read(uint8_t* buffer, size_t capacity, int timeoutMs) {
  using link::StreamStatus;
  int ready = wait(POLLIN, timeoutMs);
  if (ready == 0) return {StreamStatus::Timeout, 0};
  // A signal ends the wait as a failure, so that Ctrl-C ends a session.
  if (ready < 0) return {StreamStatus::Failed, 0};
  while (true) {
    ssize_t n = ::recv(fd_, buffer, capacity, 0);
    if (n > 0) return {StreamStatus::Ok, static_cast<size_t>(n)};
    if (n == 0) return {StreamStatus::Closed, 0};
    if (errno == EINTR) return {StreamStatus::Failed, 0};
    if (errno == EAGAIN || errno == EWOULDBLOCK) return {StreamStatus::Timeout, 0};
    return {StreamStatus::Failed, 0};
  }
}

bool TcpStream::write(ByteView bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    // Send first and wait only when the socket is full: a DLP message nearly always fits,
    // and a poll before every send doubled the system calls of a round trip.
    ssize_t n = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n >= 0) {
      sent += static_cast<size_t>(n);
      continue;
    }
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) return false;
    int ready = wait(POLLOUT, link::kDlpTimeoutMs);
    if (ready == 0 || stopped()) return false;
    if (ready < 0 && errno != EINTR) return false;
  }
  return true;
}

std::string TcpStream::peer() const {
  sockaddr_storage addr{};
  socklen_t len = sizeof addr;
  if (getpeername(fd_, reinterpret_cast<sockaddr*>(&addr), &len) != 0) return "?";
  return formatAddress(reinterpret_cast<const sockaddr*>(&addr));
}

Connection connectTcp(const HostPort& to, int timeoutMs) {
  std::string error;
  AddrInfoList list = resolve(to, false, error);
  if (!list) return {nullptr, error};
  std::string target = to.host + ":" + std::to_string(to.port);
  for (addrinfo* a = list.get(); a; a = a->ai_next) {
    Fd fd(::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol));
    if (fd.get() < 0) {
      error = errnoText(errno);
      continue;
    }
    // Non-blocking only while connecting, so that the wait has a time-out.
    int flags = fcntl(fd.get(), F_GETFL);
    fcntl(fd.get(), F_SETFL, flags | O_NONBLOCK);
    int rc = ::connect(fd.get(), a->ai_addr, a->ai_addrlen);
    if (rc != 0 && errno != EINPROGRESS) {
      error = errnoText(errno);
      continue;
    }
    if (rc != 0) {
      int ready;
      do ready = waitFor(fd.get(), POLLOUT, timeoutMs);
      while (ready < 0 && errno == EINTR);
      if (ready <= 0) {
        error = ready == 0 ? "no answer in time" : errnoText(errno);
        continue;
      }
      int soError = 0;
      socklen_t len = sizeof soError;
      getsockopt(fd.get(), SOL_SOCKET, SO_ERROR, &soError, &len);
      if (soError != 0) {
        error = errnoText(soError);
        continue;
      }
    }
    fcntl(fd.get(), F_SETFL, flags);
    int one = 1;
    setsockopt(fd.get(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return {std::make_unique<TcpStream>(fd.release()), {}};
  }
  return {nullptr, "cannot connect to " + target + ": " + error};
}

std::unique_ptr<TcpListener> TcpListener::open(const HostPort& at, std::string& error) {
  std::string wanted = at.host + ":" + std::to_string(at.port);
  AddrInfoList list = resolve(at, true, error);
  if (!list) {
    error = "cannot listen on " + wanted + ": " + error;
    return nullptr;
  }
  for (addrinfo* a = list.get(); a; a = a->ai_next) {
    Fd fd(::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol));
    if (fd.get() < 0) {
      error = "cannot listen on " + wanted + ": " + errnoText(errno);
      continue;
    }
    int one = 1;
    setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (::bind(fd.get(), a->ai_addr, a->ai_addrlen) != 0 || ::listen(fd.get(), 4) != 0) {
      error = "cannot listen on " + wanted + ": " + errnoText(errno);
      continue;
    }
    // Accept never blocks, even if a peer leaves between poll and accept.
    fcntl(fd.get(), F_SETFL, fcntl(fd.get(), F_GETFL) | O_NONBLOCK);
    sockaddr_storage bound{};
    socklen_t len = sizeof bound;
    getsockname(fd.get(), reinterpret_cast<sockaddr*>(&bound), &len);
    std::string address = formatAddress(reinterpret_cast<const sockaddr*>(&bound));
    uint16_t port = static_cast<uint16_t>(std::stoi(address.substr(address.rfind(':') + 1)));
    return std::unique_ptr<TcpListener>(new TcpListener(fd.release(), address, port));
  }
  return nullptr;
}

TcpListener::~TcpListener() {
  if (fd_ >= 0) ::close(fd_);
}

TcpListener::Accepted TcpListener::accept(int timeoutMs) {
  int ready = waitFor(fd_, POLLIN, timeoutMs);
  if (ready == 0) return {Status::Timeout, nullptr, {}};
  if (ready < 0) {
    if (errno == EINTR) return {Status::Interrupted, nullptr, {}};
    return {Status::Failed, nullptr, "cannot accept: " + errnoText(errno)};
  }
  int fd = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
  if (fd < 0) {
    if (errno == EINTR) return {Status::Interrupted, nullptr, {}};
    // The peer may have gone between poll and accept.
    if (errno == ECONNABORTED || errno == EAGAIN || errno == EWOULDBLOCK)
      return {Status::Timeout, nullptr, {}};
    return {Status::Failed, nullptr, "cannot accept: " + errnoText(errno)};
  }
  int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  return {Status::Accepted, std::make_unique<TcpStream>(fd), {}};
}

}  // namespace lumora::host
