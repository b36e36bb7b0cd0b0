// A HotSync's worth of DLP over a serial line that drops or damages every Nth frame: the
// desktop's Sync Manager backend on one end, the folder store's DLP answers on the other,
// each in its own thread. PADP's resending must get every message through, and the
// handheld folder must end as on a clean line.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <thread>

#include "hotsync/link/cmp.h"
#include "hotsync/link/dlp_handheld.h"
#include "hotsync/link/dlp_packet.h"
#include "hotsync/link/dlp_server.h"
#include "hotsync/link/serial_link.h"
#include "hotsync/store/handheld_store.h"
#include "tests/support/temp_dir.h"

namespace lumora::link {
namespace {

int64_t steadyMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// One direction of an in-memory line.
class Pipe {
 public:
  void put(ByteView bytes) {
    std::lock_guard lock(mutex_);
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
    ready_.notify_all();
  }
  StreamRead get(uint8_t* buffer, size_t capacity, int timeoutMs) {
    std::unique_lock lock(mutex_);
    if (!ready_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                         [&] { return !bytes_.empty(); }))
      return {StreamStatus::Timeout, 0};
    size_t n = std::min(capacity, bytes_.size());
    std::copy_n(bytes_.begin(), n, buffer);
    bytes_.erase(bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(n));
    return {StreamStatus::Ok, n};
  }

 private:
  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<uint8_t> bytes_;
};

// One end of the line; every Nth frame it writes is dropped or has a byte flipped (the
// serial link writes one frame per call).
class LossyEnd final : public ByteStream {
 public:
  enum class Fault { Drop, Corrupt };
  LossyEnd(Pipe& in, Pipe& out, int every, Fault fault)
      : in_(in), out_(out), every_(every), fault_(fault) {}
  StreamRead read(uint8_t* buffer, size_t capacity, int timeoutMs) override {
    return in_.get(buffer, capacity, timeoutMs);
  }
  bool write(ByteView bytes) override {
    if (every_ > 0 && ++count_ % every_ == 0) {
      ++faults_;
      if (fault_ == Fault::Drop) return true;
      Bytes damaged(bytes.begin(), bytes.end());
      damaged[damaged.size() / 2] ^= 0x5A;
      out_.put(damaged);
      return true;
    }
    out_.put(bytes);
    return true;
  }
  int faults() const { return faults_; }

 private:
  Pipe& in_;
  Pipe& out_;
  int every_;
  Fault fault_;
  int count_ = 0;
  int faults_ = 0;
};

std::map<std::string, Bytes> folderBytes(const std::string& dir) {
  std::map<std::string, Bytes> out;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    std::ifstream in(entry.path(), std::ios::binary);
    out[entry.path().filename().string()] =
        Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  return out;
}

Bytes recordBytes(int i) {
  Bytes out(2500 + 37 * static_cast<size_t>(i));  // three fragments each
  for (size_t k = 0; k < out.size(); ++k) out[k] = static_cast<uint8_t>(k * 31 + i);
  return out;
}

struct Outcome {
  std::map<std::string, Bytes> folder;
  std::vector<Bytes> readBack;
  int faults = 0;
  uint64_t resent = 0, dropped = 0;
  bool ended = false;
};

// Creates a database of four records, reads them back, ends the HotSync.
Outcome hotSync(int every, LossyEnd::Fault fault) {
  test::TempDir dir;
  Pipe toHandheld, toDesktop;
  LossyEnd desktopEnd(toDesktop, toHandheld, every, fault);
  LossyEnd handheldEnd(toHandheld, toDesktop, every, fault);
  SerialLinkOptions options;
  options.resendMs = 40;  // the line is fast; keep the test short
  Outcome out;

  hotsync::HandheldStore store(
      dir.path(), [](const std::string&) {}, [] { return 3'000'000'000u; });
  DlpServer server(store, HandheldUser{});
  std::thread handheld([&] {
    SerialLink wire(handheldEnd, LinkRole::Handheld, steadyMs, options);
    if (!handheldCmp(wire, 115200, 5000)) return;
    while (!server.ended()) {
      LinkMessage request = wire.receive(5000);
      if (request.status != StreamStatus::Ok) return;
      if (!wire.send(server.answer(request.message))) return;
    }
  });

  SerialLink wire(desktopEnd, LinkRole::Desktop, steadyMs, options);
  CmpOutcome cmp = desktopCmp(wire, 115200, kCmpStartBaud, 5000);
  EXPECT_TRUE(cmp) << cmp.error;
  DlpHandheld backend(
      [&](ByteView request) -> std::optional<Bytes> {
        if (!wire.send(request)) return std::nullopt;
        LinkMessage answer = wire.receive(5000);
        if (answer.status != StreamStatus::Ok) return std::nullopt;
        return std::move(answer.message);
      },
      {});
  SyncCreateParams create{};
  std::strcpy(create.name, "LossyDB");
  create.creator = 0x4C6D4478;
  create.type = 0x44415441;
  uint8_t handle = 0;
  EXPECT_EQ(backend.create(create, handle), SYNC_OK);
  for (int i = 0; i < 4; ++i) {
    Bytes record = recordBytes(i);
    SyncRawRecordInfo info{};
    info.handle = handle;
    info.recordSize = static_cast<uint32_t>(record.size());
    info.bytes = record.data();
    EXPECT_EQ(backend.writeRecord(info), SYNC_OK) << i;
  }
  EXPECT_EQ(backend.close(handle), SYNC_OK);
  EXPECT_EQ(backend.open("LossyDB", 0, 0x80, handle), SYNC_OK);
  for (uint16_t i = 0; i < 4; ++i) {
    Bytes buffer(8192);
    SyncRawRecordInfo info{};
    info.handle = handle;
    info.recordIndex = i;
    info.bufferCapacity = static_cast<uint16_t>(buffer.size());
    info.bytes = buffer.data();
    EXPECT_EQ(backend.readRecordByIndex(info), SYNC_OK) << i;
    buffer.resize(std::min<size_t>(info.recordSize, buffer.size()));
    out.readBack.push_back(buffer);
  }
  EXPECT_EQ(backend.close(handle), SYNC_OK);
  auto end = toRequest(dlp::EndOfSyncRequest{});
  if (wire.send(*encodeRequest(*end))) wire.receive(5000);
  handheld.join();

  out.ended = server.ended();
  out.folder = folderBytes(dir.path());
  out.faults = desktopEnd.faults() + handheldEnd.faults();
  out.resent = wire.stats().framesResent;
  out.dropped = wire.stats().framesDropped;
  return out;
}

TEST(SerialLossyLine, EveryNthFrameLostOrDamagedGivesTheSameHotSync) {
  Outcome clean = hotSync(0, LossyEnd::Fault::Drop);
  ASSERT_TRUE(clean.ended);
  ASSERT_EQ(clean.readBack.size(), 4u);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(clean.readBack[static_cast<size_t>(i)], recordBytes(i));
  ASSERT_EQ(clean.folder.size(), 1u);
  for (auto fault : {LossyEnd::Fault::Drop, LossyEnd::Fault::Corrupt}) {
    for (int every : {3, 5, 7, 13}) {
      SCOPED_TRACE((fault == LossyEnd::Fault::Drop ? "drop every " : "damage every ") +
                   std::to_string(every));
      Outcome lossy = hotSync(every, fault);
      EXPECT_GT(lossy.faults, 0);
      EXPECT_TRUE(lossy.ended);
      EXPECT_EQ(lossy.readBack, clean.readBack);
      EXPECT_EQ(lossy.folder, clean.folder);
      if (fault == LossyEnd::Fault::Corrupt) {
        EXPECT_GT(lossy.dropped, 0u);
      }
    }
  }
}

}  // namespace
}  // namespace lumora::link
