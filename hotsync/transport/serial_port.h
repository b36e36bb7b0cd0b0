// A serial line (a cradle's port, a USB handheld's ttyUSB/ttyACM device, one end of a
// pseudo-terminal) as a byte stream: raw mode, 8 data bits, no parity, one stop bit, no
// flow control, at a speed that can change once CMP has agreed on one. POSIX only; the
// Windows build answers that serial lines are not supported there yet.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "hotsync/link/stream.h"
#include "hotsync/session/serve_session.h"

namespace lumora::host {

// The speeds a serial HotSync may use: 9600 to 230400 baud.
bool isSerialSpeed(uint32_t baud);
// A speed given as text (a whole decimal number that is a serial HotSync speed).
std::optional<uint32_t> parseSerialSpeed(std::string_view text);

class SerialPort final : public link::ByteStream {
 public:
  // Opens and sets up path at baud; null with error set on failure.
  static std::unique_ptr<SerialPort> open(const std::string& path, uint32_t baud,
                                          std::string& error);
  ~SerialPort() override;
  SerialPort(const SerialPort&) = delete;
  SerialPort& operator=(const SerialPort&) = delete;

  link::StreamRead read(uint8_t* buffer, size_t capacity, int timeoutMs) override;
  bool write(ByteView bytes) override;
  // Waits until everything written has left, then changes the speed.
  bool setSpeed(uint32_t baud, std::string& error);
  // Drops whatever the line received and nobody read yet (the previous HotSync's tail).
  void discardInput();
  const std::string& path() const { return path_; }
  // For a wait on several at once: readable when bytes arrived or the line went away.
  int fd() const { return fd_; }

 private:
  SerialPort(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  int fd_;
  std::string path_;
};

// A port's speed as the sessions change it, following what CMP agreed.
class SerialPortSpeed final : public LineSpeed {
 public:
  explicit SerialPortSpeed(SerialPort& port) : port_(port) {}
  bool setSpeed(uint32_t baud, std::string& error) override { return port_.setSpeed(baud, error); }
  void discardInput() override { port_.discardInput(); }

 private:
  SerialPort& port_;
};

}  // namespace lumora::host
