// A connected handheld in a private folder, with the log captured.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "common/bytes.h"
#include "hotsync/api/hotsync_host.h"
#include "hotsync/format/pdb_file.h"
#include "tests/support/temp_dir.h"

namespace lumora::hotsync::test {

struct LogEntry {
  std::string text;
  int32_t activity;
};

class HotSyncTest : public testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(handheld);
    HsSetLogObserver(&HotSyncTest::capture, &log);
    ASSERT_EQ(HsConnect(handheld.c_str(), "Alice"), 0);
  }
  void TearDown() override {
    HsDisconnect();
    HsResetFaults();
    HsSetLogObserver(nullptr, nullptr);
    HsSetTraceObserver(nullptr, nullptr);
  }
  static void capture(const char* text, int32_t activity, void* context) {
    static_cast<std::vector<LogEntry>*>(context)->push_back({text, activity});
  }

  void reconnect() {
    HsDisconnect();
    ASSERT_EQ(HsConnect(handheld.c_str(), "Alice"), 0);
  }

  uint8_t create(const std::string& name, uint32_t type = fourCC("bpmf"),
                 uint32_t creator = fourCC("LmDx")) {
    SyncCreateParams p{};
    p.creator = creator;
    p.flags = 0x0008;
    std::strncpy(p.name, name.c_str(), sizeof p.name - 1);
    p.type = type;
    EXPECT_EQ(SyncCreateDB(&p), 0) << name;
    return p.handle;
  }
  static int32_t append(uint8_t handle, const Bytes& bytes, uint32_t* id = nullptr) {
    SyncRawRecordInfo info{};
    info.handle = handle;
    info.recordSize = static_cast<uint32_t>(bytes.size());
    info.bytes = const_cast<uint8_t*>(bytes.data());
    int32_t r = SyncWriteRec(&info);
    if (id) *id = info.recordId;
    return r;
  }
  static int32_t writeAppInfo(uint8_t handle, const Bytes& bytes) {
    SyncAppInfoRequest req{};
    req.bufferSize = req.blockSize = static_cast<uint16_t>(bytes.size());
    req.bytes = const_cast<uint8_t*>(bytes.data());
    return SyncWriteDBAppInfoBlock(handle, &req);
  }
  // A closed database with the given records.
  void makeDb(const std::string& name, const std::vector<Bytes>& records = {},
              uint32_t type = fourCC("bpmf"), uint32_t creator = fourCC("LmDx")) {
    uint8_t h = create(name, type, creator);
    for (const Bytes& r : records) EXPECT_EQ(append(h, r), 0);
    EXPECT_EQ(SyncCloseDB(h), 0);
  }
  std::string file(const std::string& name) const { return handheld + "/" + name; }
  // The database file as the format reader sees it.
  Database onDisk(const std::string& fileName) const {
    auto parsed = parsePdb(lumora::test::readFile(file(fileName)));
    EXPECT_TRUE(parsed.database) << parsed.error;
    return parsed.database.value_or(Database{});
  }
  std::vector<std::string> folderEntries() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(handheld))
      names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  lumora::test::TempDir tmp;
  lumora::test::ScopedEnv windows{"LUMORA_WINDOWS_DIR", tmp.file("windows")};
  lumora::test::ScopedEnv noFaults{"LUMORA_HOTSYNC_FAULTS", ""};
  std::string handheld = tmp.file("handheld");
  std::vector<LogEntry> log;
};

}  // namespace lumora::hotsync::test
