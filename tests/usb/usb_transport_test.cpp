// The USB code path of `serve` over the scripted bus: how the HotSync endpoints are found,
// whole HotSyncs against the simulated handheld compared with the in-process `sync`, a
// recorded device's handshake, and devices that refuse, answer nonsense or stay silent.
#include "hotsync/transport/usb_arrivals.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <regex>
#include <sstream>

#include "host/hotsync/serve.h"
#include "hotsync/link/netsync_link.h"
#include "tests/hotsync/link/hex.h"
#include "tests/support/temp_dir.h"
#include "tests/usb/scripted_usb.h"

namespace lumora::host {
namespace {

namespace fs = std::filesystem;
using link::test::hex;
using test::ScriptedUsbBus;
using test::ScriptedUsbDevice;
using test::UsbPeer;

const UsbDeviceInfo kTungsten{{0x0830, 0x0060}, 1, 5};
const UsbDeviceInfo kVisor{{0x082d, 0x0100}, 1, 6};
const UsbDeviceInfo kM100{{0x0830, 0x0080}, 2, 3};
const UsbDeviceInfo kClie{{0x054c, 0x0038}, 2, 4};

const char* const kExtOnEndpoint3 = "01 00 0000  63 6e 79 73 03 00 0000";
const char* const kShortOnEndpoint4 = "0100 02 04";

TEST(UsbTransport, HotSyncEndpointsFoundInTheOrderThatWorks) {
  struct Case {
    const char* name;
    UsbDeviceInfo info;
    std::optional<Bytes> ext, conn;
    std::vector<UsbBulkEndpoint> bulk;
    std::optional<UsbEndpointSource> source;  // nullopt: none found
    link::UsbEndpoints endpoints;
    std::vector<uint8_t> requests;  // control requests made, in order
  };
  using S = UsbEndpointSource;
  const std::vector<UsbBulkEndpoint> bulk64{{0x81, 64}, {0x01, 64}, {0x82, 64}, {0x02, 64}};
  const std::vector<UsbBulkEndpoint> bulk512{{0x81, 512}, {0x01, 512}};
  const Bytes ext3 = hex(kExtOnEndpoint3), short4 = hex(kShortOnEndpoint4);
  const Bytes noPorts = hex("00 00 0000"), junk = hex("ff ff"), noHotSync = hex("0100 00 01");
  const auto none = std::nullopt;
  const Case cases[] = {
      {"extended answer", kTungsten, ext3, short4, bulk64, S::ExtConnectionInfo, {3, 3}, {4}},
      {"extended stalls", kTungsten, none, short4, bulk64, S::ConnectionInfo, {4, 4}, {4, 3, 1}},
      {"no ports", kTungsten, noPorts, short4, bulk64, S::ConnectionInfo, {4, 4}, {4, 3, 1}},
      {"both stall", kTungsten, none, none, bulk64, S::BulkDescriptors, {1, 1}, {4, 3}},
      {"both nonsense", kTungsten, junk, noHotSync, bulk64, S::BulkDescriptors, {1, 1}, {4, 3}},
      {"nothing usable", kTungsten, none, hex("0000"), bulk512, none, {}, {4, 3}},
      {"m100 asks nothing", kM100, ext3, none, bulk64, S::BulkDescriptors, {1, 1}, {}},
      {"early Clie set-up", kClie, ext3, none, bulk64, S::BulkDescriptors, {1, 1}, {0x08, 0x0A}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedUsbBus bus;
    ScriptedUsbDevice script;
    script.info = c.info;
    script.extInfo = c.ext;
    script.connInfo = c.conn;
    script.bulk = c.bulk;
    script.peer = UsbPeer::Silent;
    auto state = bus.add(script);
    std::string error;
    auto handle = bus.open(c.info, error);
    ASSERT_TRUE(handle);
    auto found = findHotSyncEndpoints(*handle, link::findKnownUsbDevice(c.info.id)->setup, error);
    ASSERT_EQ(found.has_value(), c.source.has_value()) << error;
    if (found) {
      EXPECT_EQ(found->source, *c.source);
      EXPECT_EQ(found->endpoints, c.endpoints);
    } else {
      EXPECT_NE(error.find("GetExtConnectionInfo: refused (stall)"), std::string::npos) << error;
      EXPECT_NE(error.find("no bulk endpoints of 64 bytes"), std::string::npos) << error;
    }
    EXPECT_EQ(state->controlRequests, c.requests);
  }
}

// The bytes of a recorded USB HotSync, the device's side played by the scripted device:
// the desktop's handshake must be the recorded one.
TEST(UsbTransport, RecordedDeviceGetsTheRecordedHandshake) {
  const std::string path =
      std::string(LUMORA_TESTDATA_DIR) + "/hotsync-sessions/read-db-test.usb.json";
  auto events = link::parseEventList(test::readText(path));
  ASSERT_TRUE(events) << path;
  ScriptedUsbBus bus;
  ScriptedUsbDevice script;
  script.info = kTungsten;
  script.extInfo = hex("01 00 0000  63 6e 79 73 02 00 0000");
  script.peer = UsbPeer::Recorded;
  script.recording = *events;
  auto state = bus.add(script);
  UsbArrivals usb(bus, std::nullopt);
  UsbArrival device = usb.next();
  ASSERT_EQ(device.kind, UsbArrival::Kind::HotSync) << device.line;
  EXPECT_EQ(device.label, "USB 0830:0060 (Tungsten series, Zire 71)");
  link::NetSyncLink wire(*device.stream, link::LinkRole::Desktop);
  auto shook = link::desktopHandshake(wire, 5000);
  ASSERT_TRUE(shook) << shook.error;
  // The desktop wrote packets 2 and 4, the first two writes of the recording.
  size_t writes = 0, through = 0;
  while (through < events->size() && writes < 2) writes += !(*events)[through++].fromHandheld;
  EXPECT_EQ(state->desktopWrote, test::recordedDesktopBytes(*events, through));
}

// A sample handheld and sync folder, the conduit registered, for one side of a comparison.
struct Side {
  Side(const std::string& root) : root(root) {
    fs::create_directories(root + "/windows");
    fs::copy(std::string(LUMORA_SOURCE_DIR) + "/samples/handheld", root + "/handheld");
    fs::copy(std::string(LUMORA_SOURCE_DIR) + "/samples/sync", root + "/sync");
    test::writeText(root + "/windows/Lumdex.ini", "[Lumdex]\r\nSyncDir=" + root + "/sync\r\n");
    EXPECT_EQ(host("register"), 0);
  }
  int host(const std::string& args) const {
    std::string command = "LUMORA_WINDOWS_DIR='" + root + "/windows' '" + LUMORA_HOTSYNC_EXE +
                          "' " + args + " >'" + root + "/out.txt' 2>&1";
    return std::system(command.c_str());
  }
  // The log's entries without the time each was written.
  std::string logEntries() const {
    std::stringstream in(test::readText(root + "/windows/HotSync/Tester/HotSync.log"));
    std::string out;
    for (std::string line; std::getline(in, line);)
      out += std::regex_replace(line, std::regex("^[0-9-]+ [0-9:]+  "), "") + "\n";
    return out;
  }
  std::string root;
};

// serve's loop over the transports, with the Windows folder of `side` when given; `out`
// gets what it printed.
int serveCaptured(std::vector<std::unique_ptr<Transport>> transports, bool once,
                  const LinkSessionOptions& options, std::string& out, const Side* side = nullptr) {
  std::optional<test::ScopedEnv> windows;
  if (side) windows.emplace("LUMORA_WINDOWS_DIR", side->root + "/windows");
  testing::internal::CaptureStdout();
  const int status = serveOn(std::move(transports), options, once);
  out = testing::internal::GetCapturedStdout();
  return status;
}

// serve --usb alone over the scripted bus.
int serveUsb(UsbBus& bus, std::optional<link::UsbId> only, bool once,
             const LinkSessionOptions& options, std::string& out, const Side* side = nullptr) {
  std::vector<std::unique_ptr<Transport>> transports;
  transports.push_back(makeUsbTransport(bus, only));
  return serveCaptured(std::move(transports), once, options, out, side);
}

// A device whose HotSync endpoints lead to the simulated handheld over side's folder.
ScriptedUsbDevice handheldOf(const UsbDeviceInfo& info, const Side& side) {
  ScriptedUsbDevice d;
  d.info = info;
  d.folder = side.root + "/handheld";
  d.user.name = "Tester";
  return d;
}

LinkSessionOptions timeout(int ms) {
  LinkSessionOptions options;
  options.timeoutMs = ms;
  return options;
}

std::map<std::string, Bytes> folder(const std::string& dir) {
  std::map<std::string, Bytes> out;
  for (const auto& entry : fs::directory_iterator(dir))
    if (entry.path().filename() != ".handheld.ini")
      out[entry.path().filename().string()] = test::readFile(entry.path().string());
  return out;
}

TEST(UsbServe, HotSyncsEqualTheInProcessSync) {
  struct Case {
    const char* name;
    UsbDeviceInfo info;
    UsbPeer peer;
    uint32_t syncType;
    bool byId = false;  // --usb VID:PID: the framing from the first bytes
  };
  const UsbDeviceInfo unknown{{0x1234, 0x5678}, 3, 2};
  const Case cases[] = {
      {"NetSync framing, type 0", kTungsten, UsbPeer::NetSyncHandheld, 0},
      {"NetSync framing, type 3", kTungsten, UsbPeer::NetSyncHandheld, 3},
      {"serial framing (Visor), type 0", kVisor, UsbPeer::SlpHandheld, 0},
      {"serial framing (Visor), type 3", kVisor, UsbPeer::SlpHandheld, 3},
      {"device by id, NetSync seen", unknown, UsbPeer::NetSyncHandheld, 0, true},
      {"device by id, serial seen", unknown, UsbPeer::SlpHandheld, 3, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir temp;
    test::ScopedEnv time("LUMORA_HANDHELD_TIME", "1700000000");
    test::ScopedEnv drive("LUMORA_DRIVE_C", temp.file("c"));
    Side usb(temp.file("usb")), local(temp.file("local"));

    ScriptedUsbBus bus;
    ScriptedUsbDevice script = handheldOf(c.info, usb);
    script.extInfo = hex("01 00 0000  63 6e 79 73 02 00 0000");
    script.peer = c.peer;
    auto state = bus.add(script);
    LinkSessionOptions options = timeout(10000);
    options.syncType = c.syncType;
    std::string out;
    EXPECT_EQ(serveUsb(bus, c.byId ? std::optional(c.info.id) : std::nullopt, /*once=*/true,
                       options, out, &usb),
              0)
        << out;
    EXPECT_EQ(out.rfind("waiting for a USB handheld", 0), 0u) << out;
    EXPECT_NE(out.find("HotSync from " + usbLabel(c.info.id) + "\n"), std::string::npos) << out;
    EXPECT_NE(out.find("HotSync of Tester complete"), std::string::npos) << out;
    EXPECT_TRUE(state->ended) << state->peerError;
    EXPECT_NE(state->syncLog.find("Lumora HotSync of Tester"), std::string::npos);

    ASSERT_EQ(local.host("sync --handheld '" + local.root + "/handheld' --user Tester " +
                         "--sync-type " + std::to_string(c.syncType)),
              0);
    EXPECT_EQ(folder(usb.root + "/handheld"), folder(local.root + "/handheld"));
    EXPECT_EQ(folder(usb.root + "/sync"), folder(local.root + "/sync"));
    EXPECT_EQ(usb.logEntries(), local.logEntries());
  }
}

// Devices that cannot sync each get a line; serve goes on and the next device syncs.
TEST(UsbServe, ABadDeviceGetsALineAndTheNextSyncs) {
  struct Case {
    const char* name;
    ScriptedUsbDevice bad;
    const char* line;
  };
  auto silent = [](const UsbDeviceInfo& info) {
    ScriptedUsbDevice d;
    d.info = info;
    d.peer = UsbPeer::Silent;
    return d;
  };
  ScriptedUsbDevice denied = silent(kTungsten), garbage = silent(kTungsten),
                    stalls = silent(kTungsten);
  denied.openError = "Access denied (insufficient permissions)";
  garbage.extInfo = hex("ff");
  garbage.connInfo = hex("0300 02 02 02 02");
  garbage.bulk = stalls.bulk = {{0x81, 512}, {0x01, 512}};
  const Case cases[] = {
      {"no permission", denied,
       "cannot open USB 0830:0060 (Tungsten series, Zire 71) on bus 1 device 5: Access denied "
       "(insufficient permissions); copy the udev rules "
       "packaging/udev/60-lumora-handheld.rules to /etc/udev/rules.d/ (see README, USB "
       "HotSync) and press HotSync again\n"},
      {"nonsense answers", garbage,
       "no HotSync endpoints on USB 0830:0060 (Tungsten series, Zire 71) on bus 1 device 5: "
       "GetExtConnectionInfo: an answer of 1 bytes, 4 to 20 expected; GetConnectionInfo: the "
       "device announces 3 ports, at most 2 exist; no bulk endpoints of 64 bytes in both "
       "directions\n"},
      {"stalls", stalls,
       "no HotSync endpoints on USB 0830:0060 (Tungsten series, Zire 71) on bus 1 device 5: "
       "GetExtConnectionInfo: refused (stall); GetConnectionInfo: refused (stall); no bulk "
       "endpoints of 64 bytes in both directions\n"},
      {"never sends", silent(kTungsten),
       "closed the connection from USB 0830:0060 (Tungsten series, Zire 71): NetSync "
       "handshake: waiting for"},
      {"Visor never sends", silent(kVisor),
       "closed the connection from USB 082d:0100 (Visor, Treo 300): no serial HotSync wakeup"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir temp;
    Side usb(temp.file("usb"));
    ScriptedUsbBus bus;
    auto bad = bus.add(c.bad);
    auto next = bus.add(handheldOf({{0x0830, 0x0061}, 1, 7}, usb));
    std::string out;
    serveUsb(bus, std::nullopt, /*once=*/false, timeout(300), out, &usb);
    EXPECT_NE(out.find(c.line), std::string::npos) << out;
    EXPECT_NE(out.find("HotSync of Tester complete"), std::string::npos) << out;
    EXPECT_TRUE(bad->opened);
    EXPECT_TRUE(next->ended) << next->peerError;
  }
}

// A device given by id whose first bytes start neither framing gets a line, not a HotSync.
TEST(UsbServe, NoiseFromADeviceGivenByIdGetsALine) {
  ScriptedUsbBus bus;
  ScriptedUsbDevice noisy;
  noisy.info = {{0x1234, 0x5678}, 3, 2};
  noisy.extInfo = hex("01 00 0000  63 6e 79 73 02 00 0000");
  noisy.peer = UsbPeer::Recorded;
  noisy.recording = {{true, Bytes(40, 0x55)}};
  bus.add(noisy);
  std::string out;
  EXPECT_EQ(serveUsb(bus, noisy.info.id, /*once=*/true, timeout(300), out), 1) << out;
  EXPECT_NE(out.find("closed the connection from USB 1234:5678 (not a known model): 40 bytes "
                     "that start neither a serial nor a NetSync HotSync"),
            std::string::npos)
      << out;
  EXPECT_EQ(out.find("HotSync from"), std::string::npos) << out;
}

// --usb VID:PID takes a device missing from the table; a bare --usb leaves it alone.
TEST(UsbServe, OnlyTheDeviceAskedForOrKnownOnesAreOpened) {
  ScriptedUsbBus bus;
  ScriptedUsbDevice hub;
  hub.info = {{0x1d6b, 0x0002}, 1, 1};
  hub.peer = UsbPeer::Silent;
  auto state = bus.add(hub);
  UsbArrivals any(bus, std::nullopt);
  EXPECT_EQ(any.next().kind, UsbArrival::Kind::None);
  EXPECT_FALSE(state->opened);
  UsbArrivals only(bus, link::UsbId{0x1d6b, 0x0002});
  UsbArrival got = only.next();
  EXPECT_TRUE(state->opened);
  EXPECT_EQ(got.label, "USB 1d6b:0002 (not a known model)");
  // Handled once while it stays on the bus.
  EXPECT_EQ(only.next().kind, UsbArrival::Kind::None);
}

// Another transport beside USB in the loop: stepped every look, retiring after a few.
class CountingTransport final : public Transport {
 public:
  explicit CountingTransport(int& steps) : steps_(steps) {}
  std::string announcement() const override { return "waiting on the other one"; }
  int waitFd() const override { return -1; }
  int pollIntervalMs() const override { return 5; }
  HotSyncOutcome step(const LinkSessionOptions&) override {
    return ++steps_ < 40 ? HotSyncOutcome::None : HotSyncOutcome::Retired;
  }

 private:
  int& steps_;  // outlives the loop, which owns the transport
};

// USB shares the loop: one line per transport first, the USB HotSync runs, and a bus that
// fails retires USB alone while the other transport is still stepped.
TEST(UsbServe, SharesTheLoopWithOtherTransports) {
  test::TempDir temp;
  Side usb(temp.file("usb"));
  ScriptedUsbBus bus;
  auto state = bus.add(handheldOf(kTungsten, usb));
  std::vector<std::unique_ptr<Transport>> transports;
  transports.push_back(makeUsbTransport(bus, std::nullopt));
  int steps = 0;
  transports.push_back(std::make_unique<CountingTransport>(steps));
  std::string out;
  const int status =
      serveCaptured(std::move(transports), /*once=*/false, timeout(10000), out, &usb);
  EXPECT_EQ(out.rfind("waiting for a USB handheld\nwaiting on the other one\n", 0), 0u) << out;
  EXPECT_NE(out.find("HotSync of Tester complete"), std::string::npos) << out;
  EXPECT_TRUE(state->ended) << state->peerError;
  // Ended only once both had retired.
  EXPECT_EQ(steps, 40);
  EXPECT_EQ(status, 1);
}

}  // namespace
}  // namespace lumora::host
