// A HotSync over a link that breaks after the Nth DLP request, for every N of a sync of
// the sample handheld: nothing half-written on the desktop, and the next HotSync leaves
// the handheld and the sync folder as an unbroken one would.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <vector>

#include "hotsync/api/hotsync_host.h"
#include "hotsync/link/dlp_server.h"
#include "hotsync/store/handheld_store.h"
#include "platform/picture/picture.h"
#include "tests/hardening/sync_scene.h"

namespace lumora::hardening {
namespace {

// A fixed handheld time, so that both runs date their databases alike.
constexpr uint32_t kHandheldTime = 0xD0000000;

// The handheld at the far end of the link. Like a real device it keeps what it was given
// when the link goes: its open databases stay as far as they were written.
class DeviceOnLink {
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

  Scene::Connector connector() {
    return [this] { return HsConnectLink(&DeviceOnLink::exchange, this, "Tester", 1, 2); };
  }
  int requests() const { return requests_; }

 private:
  hotsync::HandheldStore store_;
  link::DlpServer server_;
  int dropAfter_;
  int requests_ = 0;
  bool dropped_ = false;
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

TEST(LinkDrop, TheNextHotSyncEndsAsAnUnbrokenOne) {
  constexpr uint32_t kSyncType = 0;
  Snapshot deskClean, handClean;
  int total = 0;
  {
    Scene scene;
    DeviceOnLink device(scene.handheld(), -1);
    ConduitRun run = scene.run(kSyncType, std::nullopt, device.connector());
    ASSERT_EQ(run.result, 0);
    total = device.requests();
    deskClean = snapshot(scene.sync());
  }
  {
    // What the device holds once the session is over.
    Scene scene;
    {
      DeviceOnLink device(scene.handheld(), -1);
      scene.run(kSyncType, std::nullopt, device.connector());
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
      DeviceOnLink device(scene.handheld(), n);
      ConduitRun broken = scene.run(kSyncType, std::nullopt, device.connector());
      EXPECT_EQ(broken.result, 0);
      EXPECT_FALSE(broken.escaped);
    }
    for (const auto& [name, bytes] : snapshot(scene.sync())) {
      EXPECT_NE(name[0], '.') << "temporary file left: " << name;
      EXPECT_TRUE(picture::parseBmp(bytes)) << "partial picture: " << name;
    }
    {
      DeviceOnLink device(scene.handheld(), -1);
      ConduitRun next = scene.run(kSyncType, std::nullopt, device.connector());
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

}  // namespace
}  // namespace lumora::hardening
