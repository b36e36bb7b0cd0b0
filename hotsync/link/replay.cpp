#include "hotsync/link/replay.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>

#include "hotsync/link/cmp.h"
#include "hotsync/link/dlp_functions.h"
#include "hotsync/link/dlp_packet.h"
#include "hotsync/link/event_list.h"
#include "hotsync/link/framing.h"
#include "hotsync/link/netsync.h"
#include "hotsync/link/padp.h"
#include "hotsync/link/slp.h"

namespace lumora::link {
namespace {

// What a typed check says: the fields in short, or why the packet does not round-trip.
struct Check {
  bool ok = true;
  std::string text;
};

// Re-encoding with the wrappers the packet used, so only the fields can differ.
void keepWrappers(std::vector<Argument>& again, const std::vector<Argument>& original) {
  if (again.size() != original.size()) return;
  for (size_t i = 0; i < again.size(); ++i) again[i].wrapper = original[i].wrapper;
}

template <class T>
Check checkRequest(const Request& request, ByteView bytes) {
  auto typed = dlp::fromRequest<T>(request);
  if (!typed) return {false, typed.error().message};
  auto again = dlp::toRequest(*typed);
  if (!again) return {false, again.error().message};
  keepWrappers(again->args, request.args);
  auto encoded = encodeRequest(*again);
  if (!encoded) return {false, encoded.error().message};
  if (*encoded != Bytes(bytes.begin(), bytes.end())) {
    return {false, "fields re-encode to other bytes (" + typed->summary() + ")"};
  }
  return {true, typed->summary()};
}

template <class T>
Check checkAnswer(const Response& response, ByteView bytes) {
  auto typed = dlp::fromResponse<T>(response);
  if (!typed) return {false, typed.error().message};
  auto again = dlp::toResponse(*typed);
  if (!again) return {false, again.error().message};
  keepWrappers(again->args, response.args);
  auto encoded = encodeResponse(*again);
  if (!encoded) return {false, encoded.error().message};
  if (*encoded != Bytes(bytes.begin(), bytes.end())) {
    return {false, "fields re-encode to other bytes (" + typed->summary() + ")"};
  }
  return {true, typed->summary()};
}

struct TypedFunction {
  uint8_t id;
  Check (*request)(const Request&, ByteView);
  Check (*answer)(const Response&, ByteView);
};

constexpr TypedFunction kTyped[] = {
    {dlp::kReadUserInfo, checkRequest<dlp::ReadUserInfoRequest>, checkAnswer<dlp::UserInfo>},
    {dlp::kWriteUserInfo, checkRequest<dlp::WriteUserInfoRequest>,
     checkAnswer<dlp::WriteUserInfoAnswer>},
    {dlp::kReadSysInfo, checkRequest<dlp::ReadSysInfoRequest>, checkAnswer<dlp::SysInfo>},
    {dlp::kReadDbList, checkRequest<dlp::ReadDbListRequest>, checkAnswer<dlp::DbList>},
    {dlp::kOpenDb, checkRequest<dlp::OpenDbRequest>, checkAnswer<dlp::OpenDbAnswer>},
    {dlp::kCreateDb, checkRequest<dlp::CreateDbRequest>, checkAnswer<dlp::CreateDbAnswer>},
    {dlp::kCloseDb, checkRequest<dlp::CloseDbRequest>, checkAnswer<dlp::CloseDbAnswer>},
    {dlp::kDeleteDb, checkRequest<dlp::DeleteDbRequest>, checkAnswer<dlp::DeleteDbAnswer>},
    {dlp::kReadAppBlock, checkRequest<dlp::ReadAppBlockRequest>, checkAnswer<dlp::AppBlock>},
    {dlp::kWriteAppBlock, checkRequest<dlp::WriteAppBlockRequest>,
     checkAnswer<dlp::WriteAppBlockAnswer>},
    {dlp::kReadRecord, checkRequest<dlp::ReadRecordRequest>, checkAnswer<dlp::Record>},
    {dlp::kWriteRecord, checkRequest<dlp::WriteRecordRequest>, checkAnswer<dlp::WriteRecordAnswer>},
    {dlp::kWriteResource, checkRequest<dlp::WriteResourceRequest>,
     checkAnswer<dlp::WriteResourceAnswer>},
    {dlp::kResetSystem, checkRequest<dlp::ResetSystemRequest>, checkAnswer<dlp::ResetSystemAnswer>},
    {dlp::kAddSyncLogEntry, checkRequest<dlp::AddSyncLogEntryRequest>,
     checkAnswer<dlp::AddSyncLogEntryAnswer>},
    {dlp::kReadOpenDbInfo, checkRequest<dlp::ReadOpenDbInfoRequest>, checkAnswer<dlp::OpenDbInfo>},
    {dlp::kOpenConduit, checkRequest<dlp::OpenConduitRequest>, checkAnswer<dlp::OpenConduitAnswer>},
    {dlp::kEndOfSync, checkRequest<dlp::EndOfSyncRequest>, checkAnswer<dlp::EndOfSyncAnswer>},
    {dlp::kFindDb, checkRequest<dlp::FindDbRequest>, checkAnswer<dlp::FindDbAnswer>},
};

const TypedFunction* typedFunction(uint8_t id) {
  for (const TypedFunction& f : kTyped) {
    if (f.id == id) return &f;
  }
  return nullptr;
}

std::string hex2(unsigned v) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%02X", v & 0xFFu);
  return buf;
}

std::string nameOf(uint8_t function) {
  const char* name = dlp::functionName(function);
  return name ? name : "function 0x" + hex2(function);
}

Check checkDlp(bool fromHandheld, ByteView payload) {
  if (!fromHandheld) {
    auto request = decodeRequest(payload);
    if (!request) return {false, "request: " + request.error().message};
    auto again = encodeRequest(*request);
    std::string name = nameOf(request->function);
    if (!again || *again != Bytes(payload.begin(), payload.end())) {
      return {false, name + ": the generic layer re-encodes to other bytes"};
    }
    const TypedFunction* f = typedFunction(request->function);
    if (!f) return {true, name + " (" + std::to_string(request->args.size()) + " arguments)"};
    Check c = f->request(*request, payload);
    if (c.ok) c.text = c.text.empty() ? name : name + " " + c.text;  // errors name it already
    return c;
  }
  auto response = decodeResponse(payload);
  if (!response) return {false, "answer: " + response.error().message};
  auto again = encodeResponse(*response);
  std::string name = nameOf(response->function) + " answer";
  if (!again || *again != Bytes(payload.begin(), payload.end())) {
    return {false, name + ": the generic layer re-encodes to other bytes"};
  }
  if (response->error != dlp::kErrNone) {
    char code[8];
    std::snprintf(code, sizeof code, "%04X", response->error);
    return {true, name + " error 0x" + code};
  }
  const TypedFunction* f = typedFunction(response->function);
  if (!f) return {true, name + " (" + std::to_string(response->args.size()) + " arguments)"};
  Check c = f->answer(*response, payload);
  if (c.ok) c.text = c.text.empty() ? name : name + " " + c.text;
  return c;
}

// The handshake is the handheld's first three packets and the desktop's first two.
Check checkHandshake(bool fromHandheld, size_t n, ByteView payload) {
  using Test = bool (*)(ByteView);
  static const Test handheld[] = {isHandheldHello, isHandheldHelloAck, isHandheldReady};
  static const Test desktop[] = {isDesktopHello, isDesktopHelloAck};
  bool ok = fromHandheld ? handheld[n](payload) : desktop[n](payload);
  unsigned number =
      fromHandheld ? 1 + 2 * static_cast<unsigned>(n) : 2 + 2 * static_cast<unsigned>(n);
  std::string text =
      "handshake " + std::to_string(number) + " (" + std::to_string(payload.size()) + " bytes)";
  if (!ok) text += ": not the expected handshake packet";
  return {ok, text};
}

class Side {
 public:
  explicit Side(bool fromHandheld)
      : fromHandheld_(fromHandheld), reader_(kDefaultMaxPayload, fromHandheld) {}

  // Feeds one event's bytes; completed packets are checked and reported.
  void feed(ByteView bytes, ReplayReport& report) {
    while (!failed_) {
      auto step = reader_.feed(bytes);
      bytes = bytes.subspan(step.consumed);
      if (step.status == NetSyncReader::Status::Error) {
        failed_ = true;
        report.lines.push_back(label() + " stream: " + reader_.error());
        return;
      }
      if (step.status == NetSyncReader::Status::NeedMore) return;
      check(reader_.take(), report);
    }
  }

  void finish(ReplayReport& report) const {
    if (!failed_ && !reader_.idle()) {
      report.lines.push_back(label() + " stream ends inside a packet");
    }
  }
  bool clean() const { return !failed_ && reader_.idle(); }

 private:
  std::string label() const { return fromHandheld_ ? "handheld" : "desktop"; }

  void check(const NetSyncPacket& packet, ReplayReport& report) {
    ++report.packets;
    Check c;
    if (packet.type == kNetSyncTickle) {
      c = {packet.payload.empty(), "tickle"};
    } else if (handshakeSeen_ < (fromHandheld_ ? 3u : 2u)) {
      c = checkHandshake(fromHandheld_, handshakeSeen_++, packet.payload);
      if (packet.headerless) c.text += ", sent without header";
    } else {
      c = checkDlp(fromHandheld_, packet.payload);
    }
    if (c.ok) ++report.roundTripped;
    std::string line = (fromHandheld_ ? "handheld " : "desktop  ") + std::string("xid ") +
                       hex2(packet.xid) + "  " + c.text;
    if (!c.ok) line += "  -- does not round-trip";
    report.lines.push_back(std::move(line));
  }

  bool fromHandheld_;
  NetSyncReader reader_;
  size_t handshakeSeen_ = 0;
  bool failed_ = false;
};

// A serial session: every SLP frame is a packet of the count. It round-trips when it
// re-encodes to its bytes (checksum and CRC included), its PADP header too, and, for the
// frame that completes a message, the message passes the checks a NetSync packet would.
class SerialSide {
 public:
  explicit SerialSide(bool fromHandheld)
      : fromHandheld_(fromHandheld), reader_(0xFFFF), assembler_(kDefaultMaxPayload) {}

  void feed(ByteView bytes, ReplayReport& report) {
    while (true) {
      auto step = reader_.feed(bytes);
      bytes = bytes.subspan(step.consumed);
      if (step.status == SlpReader::Status::NeedMore) return;
      SlpFrame frame = reader_.take();
      check(frame, reader_.lastRaw(), report);
    }
  }

  void finish(ReplayReport& report) const {
    if (!reader_.idle()) report.lines.push_back(label() + " stream ends inside a frame");
    if (reader_.skippedBytes() || reader_.droppedFrames()) {
      report.lines.push_back(label() + " stream: " + std::to_string(reader_.skippedBytes()) +
                             " bytes outside frames, " + std::to_string(reader_.droppedFrames()) +
                             " damaged frames");
    }
  }
  bool clean() const {
    return reader_.idle() && reader_.skippedBytes() == 0 && reader_.droppedFrames() == 0;
  }

 private:
  std::string label() const { return fromHandheld_ ? "handheld" : "desktop"; }

  Check checkCmp(ByteView message) const {
    auto cmp = decodeCmp(message);
    if (!cmp) return {false, "CMP: " + cmp.error().message};
    if (encodeCmp(*cmp) != Bytes(message.begin(), message.end()))
      return {false, "CMP re-encodes to other bytes"};
    static const char* const kNames[] = {"?", "wakeup", "init", "abort"};
    char flags[8];
    std::snprintf(flags, sizeof flags, "%02X", cmp->flags);
    return {true, std::string("CMP ") + kNames[cmp->type] + " flags 0x" + flags + " version " +
                      std::to_string(cmp->major) + "." + std::to_string(cmp->minor) + " baud " +
                      std::to_string(cmp->baud)};
  }

  Check checkPadp(const SlpFrame& frame) {
    auto padp = decodePadp(frame.payload);
    if (!padp) return {false, "PADP: " + padp.error().message};
    auto again = encodePadp(*padp);
    if (!again || *again != frame.payload) return {false, "PADP re-encodes to other bytes"};
    std::string form = padp->longForm() ? " long" : "";
    switch (padp->type) {
      case kPadpAck:
        return {true, "ack" + form + " " + std::to_string(padp->sizeOrOffset)};
      case kPadpTickle:
        return {true, "tickle"};
      case kPadpAbort:
        return {true, "abort"};
      default:
        break;
    }
    std::string text = "data" + form + " " + std::to_string(padp->data.size()) + " bytes at " +
                       std::to_string(padp->flags & kPadpFirst ? 0 : padp->sizeOrOffset);
    if (!assembler_.inProgress() && lastDone_ == frame.xid) return {true, text + ", repeated"};
    switch (assembler_.add(*padp)) {
      case PadpAssembler::Outcome::Duplicate:
        return {true, text + ", repeated"};
      case PadpAssembler::Outcome::Added:
        return {true, text};
      case PadpAssembler::Outcome::Refused:
        return {false, text + ": " + assembler_.error()};
      case PadpAssembler::Outcome::Complete:
        break;
    }
    lastDone_ = frame.xid;
    Bytes message = assembler_.take();
    Check c = frame.xid == kCmpXid ? checkCmp(message) : checkDlp(fromHandheld_, message);
    c.text = text + ": " + c.text;
    return c;
  }

  void check(const SlpFrame& frame, const Bytes& raw, ReplayReport& report) {
    ++report.packets;
    Check c;
    if (encodeSlp(frame) != raw) {
      c = {false, "SLP frame re-encodes to other bytes"};
    } else if (frame.type == kSlpTypeLoopback) {
      c = {true, "loop-back"};
    } else if (frame.type != kSlpTypePadp) {
      c = {true, "SLP type " + std::to_string(frame.type) + " (" +
                     std::to_string(frame.payload.size()) + " bytes)"};
    } else {
      c = checkPadp(frame);
    }
    if (c.ok) ++report.roundTripped;
    std::string line = (fromHandheld_ ? "handheld " : "desktop  ") + std::string("xid ") +
                       hex2(frame.xid) + "  " + c.text;
    if (!c.ok) line += "  -- does not round-trip";
    report.lines.push_back(std::move(line));
  }

  bool fromHandheld_;
  SlpReader reader_;
  PadpAssembler assembler_;
  std::optional<uint8_t> lastDone_;
};

// The framing, from the handheld's first bytes however the recording split them (or the
// desktop's, in a recording of the desktop's side only); a recording that shows neither is
// read as NetSync, whose checks then say what is wrong. skipped: the noise before the
// handheld's first frame, which the desktop drops too.
Framing framingOf(const std::vector<StreamEvent>& events, size_t& skipped) {
  FramingRecogniser handheld, desktop;
  for (const StreamEvent& e : events) {
    FramingRecogniser& side = e.fromHandheld ? handheld : desktop;
    if (!side.decided()) side.feed(e.data);
    if (handheld.decided()) break;
  }
  skipped = handheld.decided() && handheld.framing() != Framing::Neither ? handheld.skipped() : 0;
  Framing framing =
      handheld.framing() == Framing::NeedMore || handheld.framing() == Framing::Neither
          ? desktop.framing()
          : handheld.framing();
  return framing == Framing::Slp ? Framing::Slp : Framing::NetSync;
}

// Each side fed its events, the handheld's without the leading noise.
template <class S>
void feedSides(const std::vector<StreamEvent>& events, size_t skipped, S& handheld, S& desktop,
               ReplayReport& report) {
  for (const StreamEvent& e : events) {
    ByteView data = e.data;
    if (e.fromHandheld && skipped > 0) {
      size_t n = std::min(skipped, data.size());
      data = data.subspan(n);
      skipped -= n;
    }
    (e.fromHandheld ? handheld : desktop).feed(data, report);
  }
  handheld.finish(report);
  desktop.finish(report);
  if (!handheld.clean() || !desktop.clean()) report.failure = "a stream did not end cleanly";
}

}  // namespace

std::string ReplayReport::summary() const {
  return std::to_string(roundTripped) + "/" + std::to_string(packets) + " packets round-trip";
}

ReplayReport replaySession(std::string_view json) {
  ReplayReport report;
  auto events = parseEventList(json);
  if (!events) {
    report.failure = events.error().message;
    return report;
  }
  size_t skipped = 0;
  if (framingOf(*events, skipped) == Framing::Slp) {
    SerialSide handheld(true), desktop(false);
    feedSides(*events, skipped, handheld, desktop, report);
  } else {
    Side handheld(true), desktop(false);
    feedSides(*events, skipped, handheld, desktop, report);
  }
  return report;
}

}  // namespace lumora::link
