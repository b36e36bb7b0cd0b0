// A HotSync over a link that breaks after the Nth DLP request, for every N of a sync of
// the sample handheld: nothing half-written on the desktop, and the next HotSync leaves
// the handheld and the sync folder as an unbroken one would. The link is the DLP exchange
// itself, or a USB handheld (scripted) that leaves the bus in the middle of the HotSync.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "hotsync/api/hotsync_host.h"
#include "hotsync/link/dlp_server.h"
#include "hotsync/link/netsync_link.h"
#include "hotsync/store/handheld_store.h"
#include "hotsync/transport/usb_arrivals.h"
#include "platform/picture/picture.h"
#include "tests/hardening/sync_scene.h"
#include "tests/usb/scripted_usb.h"

namespace lumora::hardening {
namespace {

// A fixed handheld time, so that both runs date their databases alike.
constexpr uint32_t kHandheldTime = 0xD0000000;

// A handheld on the far end of a link: connects for user "Tester" and counts the requests
// that reached it.
class Device {
 public:
  virtual ~Device() = default;
  virtual Scene::Connector connector() = 0;
  virtual int requests() const = 0;
};
// A device on folder whose link breaks once request dropAfter reached it (-1: never).
using DeviceMaker =
    std::function<std::unique_ptr<Device>(const std::string& folder, int dropAfter)>;

// The handheld at the far end of the link. Like a real device it keeps what it was given
// when the link goes: its open databases stay as far as they were written.
class DeviceOnLink final : public Device {
 public:
  DeviceOnLink(const std::string& folder, int dropAfter)
      : store_(
            folder, [](const std::string&) {}, [] { return kHandheldTime; }),
        server_(store_, link::HandheldUser{}),
        dropAfter_(dropAfter) {}
  ~DeviceOnLink() { store_.closeAll(); }

  // Request number dropAfter reaches the device, but its answer is lost with the link.
  static int32_t exchange(void* context, const uint8_t* request, uint32_t size,
                          const uint8_t** answer, uint32_t* answerSize) {
    auto* self = static_cast<DeviceOnLink*>(context);
    if (self->dropped_) return 1;
    ++self->requests_;
    self->answer_ = self->server_.answer(ByteView(request, size));
    if (self->requests_ == self->dropAfter_) {
      self->dropped_ = true;
      return 1;
    }
    *answer = self->answer_.data();
    *answerSize = static_cast<uint32_t>(self->answer_.size());
    return 0;
  }

  Scene::Connector connector() override {
    return [this] { return HsConnectLink(&DeviceOnLink::exchange, this, "Tester", 1, 2); };
  }
  int requests() const override { return requests_; }

 private:
  hotsync::HandheldStore store_;
  link::DlpServer server_;
  int dropAfter_;
  int requests_ = 0;
  bool dropped_ = false;
  Bytes answer_;
};

// A USB handheld with NetSync framing on a scripted bus: the desktop finds it, asks for its
// HotSync endpoints and shakes hands over its bulk endpoints; after request dropAfter the
// device is gone and every transfer fails.
class DeviceOnUsb final : public Device {
 public:
  DeviceOnUsb(const std::string& folder, int dropAfter) {
    test::ScriptedUsbDevice script;
    script.info = {{0x0830, 0x0060}, 1, 9};
    script.connInfo = Bytes{1, 0, 2, 2};
    script.folder = folder;
    script.clock = [] { return kHandheldTime; };
    script.goneAfterRequest = dropAfter;
    state_ = bus_.add(script);
  }

  static int32_t exchange(void* context, const uint8_t* request, uint32_t size,
                          const uint8_t** answer, uint32_t* answerSize) {
    auto* self = static_cast<DeviceOnUsb*>(context);
    if (!self->wire_ || !self->wire_->send(ByteView(request, size))) return 1;
    link::LinkMessage got = self->wire_->receive(5000);
    if (got.status != link::StreamStatus::Ok) return 1;
    self->answer_ = std::move(got.message);
    *answer = self->answer_.data();
    *answerSize = static_cast<uint32_t>(self->answer_.size());
    return 0;
  }

  Scene::Connector connector() override {
    return [this]() -> int32_t {
      host::UsbArrivals usb(bus_, std::nullopt);
      device_ = usb.next();
      if (device_.kind != host::UsbArrival::Kind::HotSync) return 1;
      wire_.emplace(*device_.stream, link::LinkRole::Desktop);
      if (!link::desktopHandshake(*wire_, 5000)) return 1;
      return HsConnectLink(&DeviceOnUsb::exchange, this, "Tester", 1, 2);
    };
  }
  int requests() const override { return state_->requests; }

 private:
  test::ScriptedUsbBus bus_;
  std::shared_ptr<test::ScriptedUsbState> state_;
  host::UsbArrival device_;
  std::optional<link::NetSyncLink> wire_;
  Bytes answer_;
};

// The handheld's databases by file, without the dates and counters a rewrite changes.
std::map<std::string, std::optional<DatabaseContent>> contents(const Snapshot& handheld) {
  std::map<std::string, std::optional<DatabaseContent>> out;
  for (const auto& [name, bytes] : handheld) out[name] = databaseContent(bytes);
  return out;
}

// The names whose contents differ, or that only one side has.
template <class Map>
std::vector<std::string> differences(const Map& got, const Map& want) {
  std::vector<std::string> out;
  for (const auto& [name, value] : got) {
    auto it = want.find(name);
    if (it == want.end())
      out.push_back("extra " + name);
    else if (!(it->second == value))
      out.push_back("changed " + name);
  }
  for (const auto& [name, value] : want)
    if (!got.count(name)) out.push_back("missing " + name);
  return out;
}

void sweepLinkDrops(const DeviceMaker& makeDevice) {
  constexpr uint32_t kSyncType = 0;
  Snapshot deskClean, handClean;
  int total = 0;
  {
    Scene scene;
    auto device = makeDevice(scene.handheld(), -1);
    ConduitRun run = scene.run(kSyncType, std::nullopt, device->connector());
    ASSERT_EQ(run.result, 0);
    total = device->requests();
    deskClean = snapshot(scene.sync());
  }
  {
    // What the device holds once the session is over.
    Scene scene;
    {
      auto device = makeDevice(scene.handheld(), -1);
      scene.run(kSyncType, std::nullopt, device->connector());
    }
    handClean = snapshot(scene.handheld());
  }
  ASSERT_GT(total, 10);
  std::printf("sync type %u: %d DLP requests, the link dropped after each\n",
              static_cast<unsigned>(kSyncType), total);

  for (int n = 1; n <= total; ++n) {
    SCOPED_TRACE("link dropped after request " + std::to_string(n) + " of " +
                 std::to_string(total));
    Scene scene;
    {
      auto device = makeDevice(scene.handheld(), n);
      ConduitRun broken = scene.run(kSyncType, std::nullopt, device->connector());
      EXPECT_EQ(broken.result, 0);
      EXPECT_FALSE(broken.escaped);
    }
    for (const auto& [name, bytes] : snapshot(scene.sync())) {
      EXPECT_NE(name[0], '.') << "temporary file left: " << name;
      EXPECT_TRUE(picture::parseBmp(bytes)) << "partial picture: " << name;
    }
    {
      auto device = makeDevice(scene.handheld(), -1);
      ConduitRun next = scene.run(kSyncType, std::nullopt, device->connector());
      EXPECT_EQ(next.result, 0);
    }
    EXPECT_EQ(differences(snapshot(scene.sync()), deskClean), std::vector<std::string>{});
    EXPECT_EQ(differences(contents(snapshot(scene.handheld())), contents(handClean)),
              std::vector<std::string>{});
    const std::string journal = scene.root() + "/windows/HotSync/Tester/Interrupted";
    EXPECT_TRUE(!std::filesystem::exists(journal) || std::filesystem::is_empty(journal))
        << "the journal outlived a whole HotSync";
  }
}

TEST(LinkDrop, TheNextHotSyncEndsAsAnUnbrokenOne) {
  sweepLinkDrops([](const std::string& folder, int dropAfter) -> std::unique_ptr<Device> {
    return std::make_unique<DeviceOnLink>(folder, dropAfter);
  });
}

TEST(LinkDrop, AUsbHandheldGoneInTheMiddleEndsAsADroppedLink) {
  sweepLinkDrops([](const std::string& folder, int dropAfter) -> std::unique_ptr<Device> {
    return std::make_unique<DeviceOnUsb>(folder, dropAfter);
  });
}

}  // namespace
}  // namespace lumora::hardening
