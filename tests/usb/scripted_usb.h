// A scripted USB bus for tests: devices that answer the control requests from given bytes
// (or stall), list the bulk endpoints given, and whose HotSync endpoints lead to a peer on a
// thread of its own: the simulated handheld (NetSync or serial framing) over a folder of
// .pdb files, a recorded session, or silence. A device leaves the bus when it is closed, or
// when the script makes it vanish in the middle of a HotSync.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "hotsync/link/dlp_server.h"
#include "hotsync/link/event_list.h"
#include "hotsync/link/stream.h"
#include "hotsync/link/usb_connection_info.h"
#include "hotsync/transport/usb_device.h"

namespace lumora::test {

enum class UsbPeer {
  NetSyncHandheld,  // the simulated handheld, NetSync framing
  SlpHandheld,      // the simulated handheld, serial framing
  Recorded,         // plays the handheld's side of a recorded session
  Silent,           // never sends
};

struct ScriptedUsbDevice {
  host::UsbDeviceInfo info;
  std::string openError;          // open fails with this reason
  std::optional<Bytes> extInfo;   // GetExtConnectionInfo's answer; nullopt: stall
  std::optional<Bytes> connInfo;  // GetConnectionInfo's answer; nullopt: stall
  std::vector<host::UsbBulkEndpoint> bulk{{0x82, 64}, {0x02, 64}};
  uint8_t hotsyncIn = 2, hotsyncOut = 2;  // where the peer really is
  UsbPeer peer = UsbPeer::NetSyncHandheld;
  std::string folder;  // the handheld's databases
  link::HandheldUser user;
  std::function<uint32_t()> clock;  // the handheld's time; none: the environment's
  int goneAfterRequest = -1;        // leaves the bus once this request reached it
  std::vector<link::StreamEvent> recording;
};

// One direction of bytes between the desktop and the peer.
class BytePipe {
 public:
  void push(ByteView bytes);
  void close();
  // Waits at most timeoutMs; Closed once closed and empty.
  link::StreamRead pop(uint8_t* buffer, size_t capacity, int timeoutMs);

 private:
  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<uint8_t> bytes_;
  bool closed_ = false;
};

// What a device saw, for the checks.
struct ScriptedUsbState {
  ScriptedUsbDevice script;
  std::vector<uint8_t> controlRequests;  // bRequest of each control request, in order
  std::atomic<bool> opened{false}, onBus{true}, gone{false};
  std::atomic<int> requests{0};
  std::atomic<bool> ended{false};  // the peer answered EndOfSync
  std::string syncLog;             // written by the peer before it ends
  std::string peerError;
  Bytes desktopWrote;  // everything the desktop sent to the recorded peer
  BytePipe toDesktop, toPeer;
  std::thread peer;
  ~ScriptedUsbState();
  void vanish();  // the device leaves the bus now
};

class ScriptedUsbBus final : public host::UsbBus {
 public:
  // The devices are on the bus from the start, in this order.
  std::shared_ptr<ScriptedUsbState> add(ScriptedUsbDevice device);

  std::optional<std::vector<host::UsbDeviceInfo>> devices(std::string& error) override;
  std::unique_ptr<host::UsbHandle> open(const host::UsbDeviceInfo& device,
                                        std::string& error) override;
  // A look at the bus once every device on it was opened is an idle one; after a few the
  // script is over and the bus fails.
  int lookIntervalMs() const override { return 5; }

 private:
  std::vector<std::shared_ptr<ScriptedUsbState>> devices_;
  int idleLooks_ = 0;
};

// The NetSync payloads of a recorded session's handheld events as the desktop receives
// them, for comparing the desktop's writes.
Bytes recordedDesktopBytes(const std::vector<link::StreamEvent>& events, size_t count);

}  // namespace lumora::test
