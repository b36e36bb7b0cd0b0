// TCP for the NetSync link: a connected stream (reads wait with a time-out, writes send
// everything or fail), a listener that accepts with a time-out so that a signal can be
// noticed between waits, and a connect. Addresses are numeric or names, "ADDR:PORT".
// Only the POSIX build does networking; elsewhere every call says it is not supported.
#pragma once

#include <csignal>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "hotsync/link/stream.h"

namespace lumora::host {

inline constexpr const char* kLoopback = "127.0.0.1";

struct HostPort {
  std::string host;
  uint16_t port = 0;
};

// "ADDR:PORT", "[IPv6]:PORT", ":PORT" or "PORT"; a missing address is defaultHost.
// nullopt with error set when the text is not an address.
std::optional<HostPort> parseHostPort(std::string_view text, std::string_view defaultHost,
                                      std::string& error);

class TcpStream final : public link::ByteStream {
 public:
  explicit TcpStream(int fd) : fd_(fd) {}
  ~TcpStream() override;
  TcpStream(const TcpStream&) = delete;
  TcpStream& operator=(const TcpStream&) = delete;

  link::StreamRead read(uint8_t* buffer, size_t capacity, int timeoutMs) override;
  // Gives up when the peer takes nothing for the DLP time-out.
  bool write(ByteView bytes) override;
  // The other end, "ADDR:PORT".
  std::string peer() const;

  // Reads and writes fail once *flag is set, looked at every kStopCheckMs while they wait:
  // a signal handler's flag then ends the connection even when the signal came between
  // two waits instead of interrupting one.
  void stopWhen(const volatile std::sig_atomic_t* flag) { stop_ = flag; }
  static constexpr int kStopCheckMs = 200;

 private:
  bool stopped() const { return stop_ && *stop_; }
  // Waits for events in slices, so that the stop flag is seen; 1 ready, 0 time-out, -1
  // failed or stopped.
  int wait(short events, int timeoutMs) const;

  int fd_;
  const volatile std::sig_atomic_t* stop_ = nullptr;
};

struct Connection {
  std::unique_ptr<TcpStream> stream;  // null on failure
  std::string error;
};

// Connects within timeoutMs.
Connection connectTcp(const HostPort& to, int timeoutMs);

class TcpListener {
 public:
  enum class Status { Accepted, Timeout, Interrupted, Failed };
  struct Accepted {
    Status status = Status::Failed;
    std::unique_ptr<TcpStream> stream;
    std::string error;
  };

  // Binds exactly the address asked for (SO_REUSEADDR); port 0 picks a free port. Null
  // with error set on failure, naming the address.
  static std::unique_ptr<TcpListener> open(const HostPort& at, std::string& error);
  ~TcpListener();
  TcpListener(const TcpListener&) = delete;
  TcpListener& operator=(const TcpListener&) = delete;

  // Waits at most timeoutMs; Interrupted when a signal arrived meanwhile.
  Accepted accept(int timeoutMs);
  // The address and port actually bound, "127.0.0.1:14238".
  const std::string& address() const { return address_; }
  uint16_t port() const { return port_; }
  // For a wait on several at once: readable when a connection is waiting.
  int fd() const { return fd_; }

 private:
  TcpListener(int fd, std::string address, uint16_t port)
      : fd_(fd), address_(std::move(address)), port_(port) {}
  int fd_;
  std::string address_;
  uint16_t port_;
};

}  // namespace lumora::host
