#include "tests/usb/scripted_usb.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "hotsync/session/handheld_session.h"
#include "hotsync/store/environment_clock.h"
#include "hotsync/store/handheld_store.h"

namespace lumora::test {
namespace {

constexpr int kPeerTimeoutMs = 10000;
constexpr int kIdleLooks = 3;

// The peer's end of the pipes.
class PeerStream final : public link::ByteStream {
 public:
  explicit PeerStream(ScriptedUsbState& state) : state_(state) {}
  link::StreamRead read(uint8_t* buffer, size_t capacity, int timeoutMs) override {
    return state_.toPeer.pop(buffer, capacity, timeoutMs);
  }
  bool write(ByteView bytes) override {
    if (state_.gone) return false;
    state_.toDesktop.push(bytes);
    return true;
  }

 private:
  ScriptedUsbState& state_;
};

void runHandheld(ScriptedUsbState& state) {
  auto quiet = [](const std::string&) {};
  hotsync::HandheldStore store(
      state.script.folder, quiet,
      state.script.clock ? state.script.clock : hotsync::clockFromEnvironment(quiet));
  link::DlpServer server(store, state.script.user);
  PeerStream stream(state);
  // Answers until EndOfSync, or until the device vanishes as scripted.
  host::HandheldSessionHooks hooks;
  hooks.timeoutMs = kPeerTimeoutMs;
  hooks.onRequest = [&state](ByteView, int number) {
    state.requests = number;
    if (number != state.script.goneAfterRequest) return true;
    state.vanish();
    return false;
  };
  state.peerError = state.script.peer == UsbPeer::NetSyncHandheld
                        ? host::handheldNetSyncSession(stream, server, hooks)
                        : host::handheldSerialSession(stream, nullptr, 115200, server, hooks).broke;
  // Like a device whose link went: what was written so far stays.
  store.closeAll();
  state.syncLog = server.syncLog();
  state.ended = server.ended();
}

// Sends the handheld's events, each once the desktop has written all it wrote before it.
void runRecorded(ScriptedUsbState& state) {
  size_t owed = 0;  // bytes the desktop must still write before the next handheld event
  for (const auto& event : state.script.recording) {
    if (!event.fromHandheld) {
      owed += event.data.size();
      continue;
    }
    uint8_t buffer[4096];
    while (owed > 0) {
      link::StreamRead got =
          state.toPeer.pop(buffer, std::min(owed, sizeof buffer), kPeerTimeoutMs);
      if (got.status != link::StreamStatus::Ok) return;
      state.desktopWrote.insert(state.desktopWrote.end(), buffer, buffer + got.count);
      owed -= got.count;
    }
    state.toDesktop.push(event.data);
  }
}

class ScriptedHandle final : public host::UsbHandle {
 public:
  explicit ScriptedHandle(std::shared_ptr<ScriptedUsbState> state) : state_(std::move(state)) {}
  ~ScriptedHandle() override {
    state_->toPeer.close();
    if (state_->peer.joinable()) state_->peer.join();
    state_->onBus = false;
  }

  bool detachKernelDriver(std::string&) override { return true; }
  bool claimInterface(std::string&) override {
    ScriptedUsbState& s = *state_;
    if (s.script.peer == UsbPeer::NetSyncHandheld || s.script.peer == UsbPeer::SlpHandheld)
      s.peer = std::thread([&s] { runHandheld(s); });
    else if (s.script.peer == UsbPeer::Recorded)
      s.peer = std::thread([&s] { runRecorded(s); });
    return true;
  }
  void releaseInterface() override {}

  host::UsbTransfer controlIn(uint8_t requestType, uint8_t request, uint16_t, uint16_t,
                              uint8_t* data, uint16_t length, int) override {
    state_->controlRequests.push_back(request);
    std::optional<Bytes> answer;
    if (requestType == link::kUsbVendorIn && request == link::kUsbGetExtConnectionInfo)
      answer = state_->script.extInfo;
    else if (requestType == link::kUsbVendorIn && request == link::kUsbGetConnectionInfo)
      answer = state_->script.connInfo;
    else if (requestType == link::kUsbVendorIn && request == link::kUsbGetNumBytesAvailable)
      answer = Bytes{0, 1};
    else if (requestType & 0x80)
      answer = Bytes{1};  // GET_CONFIGURATION, GET_INTERFACE
    if (!answer) return {host::UsbStatus::Stall, 0, "pipe error"};
    size_t n = std::min<size_t>(answer->size(), length);
    std::memcpy(data, answer->data(), n);
    return {host::UsbStatus::Ok, n, {}};
  }

  host::UsbTransfer bulkIn(uint8_t endpoint, uint8_t* data, size_t capacity,
                           int timeoutMs) override {
    if (state_->gone) return {host::UsbStatus::Gone, 0, "no device"};
    if ((endpoint & 0x0F) != state_->script.hotsyncIn)
      return {host::UsbStatus::Timeout, 0, "nothing on this endpoint"};
    link::StreamRead got = state_->toDesktop.pop(data, capacity, timeoutMs);
    if (got.status == link::StreamStatus::Ok) return {host::UsbStatus::Ok, got.count, {}};
    if (got.status == link::StreamStatus::Timeout) return {host::UsbStatus::Timeout, 0, "timeout"};
    return {host::UsbStatus::Gone, 0, "no device"};
  }

  host::UsbTransfer bulkOut(uint8_t endpoint, ByteView data, int) override {
    if (state_->gone) return {host::UsbStatus::Gone, 0, "no device"};
    if ((endpoint & 0x0F) != state_->script.hotsyncOut)
      return {host::UsbStatus::Stall, 0, "pipe error"};
    state_->toPeer.push(data);
    return {host::UsbStatus::Ok, data.size(), {}};
  }

  std::vector<host::UsbBulkEndpoint> bulkEndpoints() override { return state_->script.bulk; }

 private:
  std::shared_ptr<ScriptedUsbState> state_;
};

}  // namespace

void BytePipe::push(ByteView bytes) {
  std::lock_guard lock(mutex_);
  bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
  ready_.notify_all();
}

void BytePipe::close() {
  std::lock_guard lock(mutex_);
  closed_ = true;
  ready_.notify_all();
}

link::StreamRead BytePipe::pop(uint8_t* buffer, size_t capacity, int timeoutMs) {
  std::unique_lock lock(mutex_);
  ready_.wait_for(lock, std::chrono::milliseconds(std::max(timeoutMs, 0)),
                  [this] { return !bytes_.empty() || closed_; });
  if (bytes_.empty())
    return {closed_ ? link::StreamStatus::Closed : link::StreamStatus::Timeout, 0};
  size_t n = std::min(capacity, bytes_.size());
  std::copy_n(bytes_.begin(), n, buffer);
  bytes_.erase(bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(n));
  return {link::StreamStatus::Ok, n};
}

ScriptedUsbState::~ScriptedUsbState() {
  toPeer.close();
  if (peer.joinable()) peer.join();
}

void ScriptedUsbState::vanish() {
  gone = true;
  onBus = false;
  toDesktop.close();
  toPeer.close();
}

std::shared_ptr<ScriptedUsbState> ScriptedUsbBus::add(ScriptedUsbDevice device) {
  auto state = std::make_shared<ScriptedUsbState>();
  state->script = std::move(device);
  devices_.push_back(state);
  return state;
}

std::optional<std::vector<host::UsbDeviceInfo>> ScriptedUsbBus::devices(std::string& error) {
  if (idleLooks_ >= kIdleLooks) {
    error = "the scripted bus has nothing more";
    return std::nullopt;
  }
  std::vector<host::UsbDeviceInfo> out;
  bool idle = true;
  for (const auto& d : devices_) {
    if (d->onBus) out.push_back(d->script.info);
    if (d->onBus && !d->opened) idle = false;
  }
  if (idle) ++idleLooks_;
  return out;
}

std::unique_ptr<host::UsbHandle> ScriptedUsbBus::open(const host::UsbDeviceInfo& device,
                                                      std::string& error) {
  for (const auto& d : devices_) {
    if (!(d->script.info == device) || !d->onBus) continue;
    d->opened = true;
    if (!d->script.openError.empty()) {
      error = d->script.openError;
      d->onBus = false;
      return nullptr;
    }
    return std::make_unique<ScriptedHandle>(d);
  }
  error = "the device has left the bus";
  return nullptr;
}

Bytes recordedDesktopBytes(const std::vector<link::StreamEvent>& events, size_t count) {
  Bytes out;
  for (size_t i = 0; i < events.size() && i < count; ++i)
    if (!events[i].fromHandheld)
      out.insert(out.end(), events[i].data.begin(), events[i].data.end());
  return out;
}

}  // namespace lumora::test
