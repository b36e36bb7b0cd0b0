// A simulated handheld connected for one test, a sync folder beside it, the log captured,
// and helpers that put databases on the handheld and read them back.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/bytes.h"
#include "tests/support/temp_dir.h"

namespace lumora::test {

struct LogLine {
  std::string text;
  int32_t activity;
  bool operator==(const LogLine&) const = default;
};

struct StoredDb {
  uint32_t type = 0;
  uint32_t creator = 0;
  Bytes appInfo;
  std::vector<Bytes> records;
  Bytes joined() const;
};

// Eight consecutive bytes 0, 1, ... mod 251, so that misplaced chunks show.
Bytes pattern(size_t size, uint8_t seed = 0);

// A 16-byte capability record in handheld byte order.
Bytes capabilityRecord(uint8_t depth, int16_t maxWidth, int16_t maxHeight, uint16_t density,
                       uint32_t maxRawSize, uint8_t compression);

// An info blob holding the given (name, flag) entries.
Bytes infoBlob(const std::vector<std::pair<std::string, uint8_t>>& entries);

class HandheldTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  std::string handheldDir() const { return root_.file("handheld"); }
  std::string syncDir() const { return root_.file("sync"); }
  std::string syncFile(const std::string& name) const { return syncDir() + "/" + name; }

  // Creates a database with app-info and records, and closes it.
  void putDatabase(const std::string& name, uint32_t type, uint32_t creator,
                   const std::optional<Bytes>& appInfo, const std::vector<Bytes>& records);
  // A picture database with a proper app-info block and 4096-byte records.
  void putPicture(const std::string& name, uint32_t type, uint32_t creator, const Bytes& data);
  void putFormatDb(const Bytes& record);
  void putInfoDb(const Bytes& blob);

  std::optional<StoredDb> readDatabase(const std::string& name);
  bool hasDatabase(const std::string& name);
  std::vector<std::string> databaseNames();

  // Drops the singleton (writing it back) and reconnects, as a new HotSync would.
  void reconnect();

  std::vector<LogLine> log;
  std::vector<std::string> trace;

 private:
  void connect();
  TempDir root_;
  std::optional<ScopedEnv> windowsDir_;
};

}  // namespace lumora::test
