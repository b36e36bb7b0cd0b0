#include "hotsync/link/serial_link.h"

#include <algorithm>
#include <cstdio>

#include "hotsync/link/cmp.h"

namespace lumora::link {
namespace {

// A few frames' worth: a serial line delivers little at a time.
constexpr size_t kReadChunk = 4096;

const char* peerName(LinkRole role) {
  return role == LinkRole::Desktop ? "the handheld" : "the desktop";
}

}  // namespace

SerialLink::SerialLink(ByteStream& stream, LinkRole role, Clock clock, SerialLinkOptions options)
    : stream_(stream),
      role_(role),
      clock_(std::move(clock)),
      options_(options),
      assembler_(options.maxMessage) {}

SerialLinkStats SerialLink::stats() const {
  SerialLinkStats out = stats_;
  out.framesDropped = reader_.droppedFrames();
  return out;
}

void SerialLink::breakLink(StreamStatus status, std::string error) {
  if (broken_) return;
  broken_ = status;
  error_ = std::move(error);
}

LinkMessage SerialLink::failure() const {
  return LinkMessage{broken_.value_or(StreamStatus::Failed), {}, error_};
}

bool SerialLink::writeFrame(uint8_t xid, const PadpPacket& packet) {
  auto payload = encodePadp(packet);
  if (!payload) {
    breakLink(StreamStatus::Failed, payload.error().message);
    return false;
  }
  Bytes frame = encodeSlp(SlpFrame{kSlpSocketDlp, kSlpSocketDlp, kSlpTypePadp, xid, *payload});
  if (!stream_.write(frame)) {
    breakLink(StreamStatus::Failed, "could not write to the serial line");
    return false;
  }
  stats_.bytesWritten += frame.size();
  return true;
}

void SerialLink::handleData(uint8_t xid, const PadpPacket& packet) {
  // A repeat of a message already whole: our ack was lost, so acknowledge it again.
  if (!assembler_.inProgress() && lastDone_ == xid) {
    writeFrame(xid, ackFor(packet));
    return;
  }
  switch (assembler_.add(packet)) {
    case PadpAssembler::Outcome::Duplicate:
      writeFrame(xid, ackFor(packet));
      return;
    case PadpAssembler::Outcome::Added:
      newData_ = true;
      writeFrame(xid, ackFor(packet));
      return;
    case PadpAssembler::Outcome::Complete:
      // One message at a time each way: a peer that piles them up is not a handheld.
      if (!inbox_.empty()) {
        breakLink(StreamStatus::Failed,
                  std::string(peerName(role_)) + " sent a message before the last one was taken");
        return;
      }
      newData_ = true;
      lastDone_ = xid;
      inbox_.push_back(Message{xid, assembler_.take()});
      writeFrame(xid, ackFor(packet));
      return;
    case PadpAssembler::Outcome::Refused:
      breakLink(StreamStatus::Failed, assembler_.error());
      return;
  }
}

void SerialLink::handle(const SlpFrame& frame) {
  // Loop-back frames test the line; other sockets are not ours.
  if (frame.type != kSlpTypePadp || frame.dest != kSlpSocketDlp) return;
  auto packet = decodePadp(frame.payload);
  if (!packet) return;  // sound frame, unknown contents: the peer resends what matters
  switch (packet->type) {
    case kPadpData:
      handleData(frame.xid, *packet);
      return;
    case kPadpAck:
      ack_ = Ack{frame.xid, std::move(*packet)};
      return;
    case kPadpTickle:
      tickled_ = true;
      return;
    case kPadpAbort:
      breakLink(StreamStatus::Failed, std::string(peerName(role_)) + " aborted the HotSync");
      return;
  }
}

SerialLink::Wait SerialLink::pump(int64_t deadline) {
  while (!broken_) {
    while (bufferAt_ < buffer_.size()) {
      auto step = reader_.feed(ByteView(buffer_).subspan(bufferAt_));
      bufferAt_ += step.consumed;
      if (step.status == SlpReader::Status::NeedMore) break;
      handle(reader_.take());
      return broken_ ? Wait::Broken : Wait::Handled;
    }
    buffer_.clear();
    bufferAt_ = 0;
    int64_t left = deadline - clock_();
    if (left <= 0) return Wait::Timeout;
    buffer_.resize(kReadChunk);
    StreamRead got = stream_.read(buffer_.data(), buffer_.size(),
                                  static_cast<int>(std::min<int64_t>(left, 1 << 30)));
    buffer_.resize(got.status == StreamStatus::Ok ? std::min(got.count, kReadChunk) : 0);
    stats_.bytesRead += buffer_.size();
    switch (got.status) {
      case StreamStatus::Ok:
      case StreamStatus::Timeout:
        break;
      case StreamStatus::Closed:
        if (reader_.idle() && !assembler_.inProgress())
          breakLink(StreamStatus::Closed, "the line was closed");
        else
          breakLink(StreamStatus::Failed, "the line was closed in the middle of a message");
        break;
      case StreamStatus::Failed:
        breakLink(StreamStatus::Failed, "the serial line broke");
        break;
    }
  }
  return Wait::Broken;
}

bool SerialLink::sendWithXid(ByteView message, uint8_t xid) {
  if (broken_) return false;
  bool longForm = longAllowed_ && (role_ == LinkRole::Handheld || message.size() > 0xFFFF);
  auto fragments = fragmentMessage(message, longForm, options_.maxFragment);
  if (!fragments) {
    breakLink(StreamStatus::Failed, fragments.error().message);
    return false;
  }
  for (size_t i = 0; i < fragments->size(); ++i) {
    const PadpPacket& fragment = (*fragments)[i];
    const bool last = i + 1 == fragments->size();
    int resends = 0;
    if (!writeFrame(xid, fragment)) return false;
    int64_t deadline = clock_() + options_.resendMs;
    while (true) {
      ack_.reset();
      newData_ = false;
      Wait got = pump(deadline);
      if (got == Wait::Broken) return false;
      if (got == Wait::Timeout) {
        if (++resends > options_.maxResends) {
          breakLink(StreamStatus::Timeout, std::string(peerName(role_)) +
                                               " did not acknowledge a fragment after " +
                                               std::to_string(options_.maxResends) + " resends");
          return false;
        }
        ++stats_.framesResent;
        if (!writeFrame(xid, fragment)) return false;
        deadline = clock_() + options_.resendMs;
        continue;
      }
      if (ack_ && ack_->xid == xid && ack_->packet.sizeOrOffset == fragment.sizeOrOffset) {
        if (ack_->packet.flags & kPadpMemoryError) {
          breakLink(StreamStatus::Failed, std::string(peerName(role_)) +
                                              " has no memory for a message of " +
                                              std::to_string(message.size()) + " bytes");
          return false;
        }
        break;
      }
      // The peer's next message begins: it has ours, whatever became of its ack.
      if (last && newData_) break;
    }
  }
  return true;
}

bool SerialLink::send(ByteView message) {
  if (broken_) return false;
  if (role_ == LinkRole::Desktop) {
    xid_ = nextXid(xid_ == kCmpXid ? 0 : xid_);
    awaiting_ = true;
  }
  return sendWithXid(message, xid_);
}

bool SerialLink::sendCmp(ByteView message) {
  return sendWithXid(message, kCmpXid);
}

std::optional<LinkMessage> SerialLink::deliver() {
  if (inbox_.empty()) return std::nullopt;
  Message m = std::move(inbox_.front());
  inbox_.pop_front();
  if (role_ == LinkRole::Handheld) {
    xid_ = m.xid;
  } else {
    // Before the first request only the handheld's CMP (0xFF) may come.
    uint8_t expected = awaiting_ ? xid_ : kCmpXid;
    if (m.xid != expected) {
      std::string got = "PADP message with transaction id " + std::to_string(m.xid);
      breakLink(StreamStatus::Failed, awaiting_ || xid_ == 0
                                          ? got + " where " + std::to_string(expected) + " was due"
                                          : got + " while no request was out");
      return failure();
    }
    awaiting_ = false;
  }
  return LinkMessage{StreamStatus::Ok, std::move(m.bytes), {}};
}

LinkMessage SerialLink::receive(int timeoutMs) {
  if (auto m = deliver()) return std::move(*m);
  if (broken_) return failure();
  int64_t deadline = clock_() + timeoutMs;
  while (true) {
    tickled_ = false;
    Wait got = pump(deadline);
    if (got == Wait::Broken) return failure();
    if (got == Wait::Timeout) {
      error_ = "no PADP message within the time-out";
      return LinkMessage{StreamStatus::Timeout, {}, error_};
    }
    if (tickled_ && role_ == LinkRole::Handheld) deadline = clock_() + timeoutMs;
    if (auto m = deliver()) return std::move(*m);
  }
}

// ---- CMP ---------------------------------------------------------------------------------

namespace {

CmpOutcome waitFailed(const LinkMessage& got, const char* waitingFor) {
  std::string why =
      got.status == StreamStatus::Timeout ? "nothing came within the time-out" : got.error;
  return {got.status, std::string("serial HotSync: waiting for ") + waitingFor + ": " + why, 0,
          false};
}

std::string describe(ByteView m) {
  std::string out = std::to_string(m.size()) + " bytes";
  char hex[4];
  for (size_t i = 0; i < m.size() && i < 8; ++i) {
    std::snprintf(hex, sizeof hex, "%02X", m[i]);
    out += (i ? " " : " beginning ") + std::string(hex);
  }
  return out;
}

}  // namespace

CmpOutcome desktopCmp(SerialLink& link, uint32_t desktopMaxBaud, uint32_t currentBaud,
                      int timeoutMs) {
  LinkMessage got = link.receive(timeoutMs);
  if (got.status != StreamStatus::Ok) return waitFailed(got, "the handheld's wakeup");
  auto wakeup = decodeCmp(got.message);
  if (!wakeup || wakeup->type != kCmpWakeup) {
    return {StreamStatus::Failed,
            "the line did not begin with a serial HotSync wakeup: got " + describe(got.message), 0,
            false};
  }
  CmpPacket init = initFor(*wakeup, desktopMaxBaud, currentBaud);
  if (!link.sendCmp(encodeCmp(init)))
    return {StreamStatus::Failed, "serial HotSync: could not send INIT: " + link.error(), 0, false};
  bool longForm = (init.flags & kCmpLongPadp) != 0;
  link.allowLongForm(longForm);
  return {StreamStatus::Ok, {}, (init.flags & kCmpChangeBaud) ? init.baud : 0, longForm};
}

CmpOutcome handheldCmp(SerialLink& link, uint32_t handheldMaxBaud, int timeoutMs) {
  CmpPacket wakeup;
  wakeup.type = kCmpWakeup;
  wakeup.flags = kCmpLongPadp;
  wakeup.major = 1;
  wakeup.minor = 2;
  wakeup.baud = handheldMaxBaud;
  if (!link.sendCmp(encodeCmp(wakeup)))
    return {StreamStatus::Failed, "serial HotSync: wakeup: " + link.error(), 0, false};
  LinkMessage got = link.receive(timeoutMs);
  if (got.status != StreamStatus::Ok) return waitFailed(got, "the desktop's INIT");
  auto init = decodeCmp(got.message);
  if (!init) return {StreamStatus::Failed, "serial HotSync: " + init.error().message, 0, false};
  if (init->type == kCmpAbort)
    return {StreamStatus::Failed, "serial HotSync: the desktop refused the HotSync", 0, false};
  if (init->type != kCmpInit)
    return {StreamStatus::Failed,
            "serial HotSync: expected INIT, got CMP type " + std::to_string(init->type), 0, false};
  bool longForm = (init->flags & kCmpLongPadp) != 0;
  link.allowLongForm(longForm);
  return {StreamStatus::Ok, {}, (init->flags & kCmpChangeBaud) ? init->baud : 0, longForm};
}

}  // namespace lumora::link
