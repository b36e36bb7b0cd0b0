#include "pictures/capability_record.h"

#include <gtest/gtest.h>

#include "conduit/settings.h"
#include "conduit/transfer_entries.h"
#include "hotsync/api/hotsync_host.h"
#include "tests/pictures/handheld_fixture.h"

namespace lumora::pictures {
namespace {

DeviceCapabilities accepted(uint8_t depth, uint16_t density, uint8_t compression) {
  DeviceCapabilities a;
  a.depth = depth;
  a.density = density;
  a.compression = compression;
  return a;
}

TEST(CapabilityRecord, DecodesHandheldByteOrder) {
  const Bytes record{0xA1, 0xA2, 0xA3, 0x10, 0x01, 0x40, 0x01, 0xE0,
                     0x00, 0x90, 0x00, 0x02, 0x00, 0x00, 0x01, 0xF5};
  DeviceCapabilities c = decodeCapabilityRecord(record);
  EXPECT_EQ(c.reserved[0], 0xA1);
  EXPECT_EQ(c.reserved[2], 0xA3);
  EXPECT_EQ(c.depth, 16);
  EXPECT_EQ(c.maxWidth, 320);
  EXPECT_EQ(c.maxHeight, 480);
  EXPECT_EQ(c.density, 144);
  EXPECT_EQ(c.maxRawSize, 131072u);
  EXPECT_EQ(c.compression, 1);
  EXPECT_EQ(c.reservedEnd, 0xF5);
  EXPECT_EQ(decodeCapabilityRecord(Bytes{0, 0, 0, 8, 0xFF, 0xFE}).maxWidth, -2);
}

TEST(CapabilityRecord, ShortRecordLeavesZeros) {
  DeviceCapabilities c = decodeCapabilityRecord(Bytes{1, 2, 3, 16, 0, 160});
  EXPECT_EQ(c.maxWidth, 160);
  EXPECT_EQ(c.maxHeight, 0);
  EXPECT_EQ(c.maxRawSize, 0u);
  EXPECT_EQ(c.reservedEnd, 0);
}

TEST(CapabilityRecord, NarrowedBySettings) {
  struct Case {
    uint8_t depth;
    uint16_t density;
    DeviceCapabilities settings;
    uint8_t wantDepth;
    uint16_t wantDensity;
    uint8_t wantCompression;
  };
  const Case cases[] = {
      {16, 144, accepted(8, 72, 0), 8, 72, 0},     {8, 72, accepted(16, 144, 1), 8, 72, 1},
      {16, 144, accepted(16, 100, 1), 16, 144, 1}, {16, 72, accepted(16, 100, 7), 16, 72, 7},
      {4, 144, accepted(0, 0, 0), 0, 144, 0},
  };
  for (const auto& c : cases) {
    DeviceCapabilities caps;
    caps.depth = c.depth;
    caps.density = c.density;
    caps.compression = 1;
    caps.maxWidth = 320;
    narrowCapabilities(caps, c.settings);
    EXPECT_EQ(caps.depth, c.wantDepth);
    EXPECT_EQ(caps.density, c.wantDensity);
    EXPECT_EQ(caps.compression, c.wantCompression);
    EXPECT_EQ(caps.maxWidth, 320);
  }
}

class ReadCapabilities : public test::HandheldTest {};

TEST_F(ReadCapabilities, ReadsRecordZeroAndNarrowsIt) {
  conduit::settings().acceptedCapabilities = accepted(8, 72, 0);
  putFormatDb(test::capabilityRecord(16, 320, 480, 144, 204800, 1));
  DeviceCapabilities caps;
  ASSERT_TRUE(readDeviceCapabilities(caps));
  EXPECT_EQ(caps.depth, 8);
  EXPECT_EQ(caps.maxWidth, 320);
  EXPECT_EQ(caps.maxHeight, 480);
  EXPECT_EQ(caps.density, 72);
  EXPECT_EQ(caps.maxRawSize, 204800u);
  EXPECT_EQ(caps.compression, 0);
  EXPECT_TRUE(log.empty());
}

TEST_F(ReadCapabilities, ShortRecordClearsStaleFields) {
  putFormatDb(Bytes{0, 0, 0, 16, 0, 200});
  DeviceCapabilities caps;
  caps.maxHeight = 999;
  caps.maxRawSize = 12345;
  caps.reserved[1] = 7;
  ASSERT_TRUE(readDeviceCapabilities(caps));
  EXPECT_EQ(caps.maxWidth, 200);
  EXPECT_EQ(caps.maxHeight, 0);
  EXPECT_EQ(caps.maxRawSize, 0u);
  EXPECT_EQ(caps.reserved[1], 0);
}

TEST_F(ReadCapabilities, Failures) {
  struct Case {
    const char* what;
    bool withDb;
    const char* faultOp;
    std::vector<test::LogLine> lines;
    std::vector<std::string> traces;
  };
  const Case cases[] = {
      {"no format database",
       false,
       nullptr,
       {{"Lumora : Could not open \"LumdexFormatDb\"", 22}},
       {"Could not open \"LumdexFormatDb\""}},
      {"open fails",
       true,
       "SyncOpenDB",
       {{"Lumora : Could not open \"LumdexFormatDb\"", 22}},
       {"Could not open \"LumdexFormatDb\""}},
      {"record read fails",
       true,
       "SyncReadRecordByIndex",
       {{"Lumora: failed to read record from format db.", -1}},
       {}},
  };
  for (const auto& c : cases) {
    reconnect();
    if (c.withDb && !hasDatabase("LumdexFormatDb"))
      putFormatDb(test::capabilityRecord(16, 320, 320, 144, 1, 1));
    if (!c.withDb && hasDatabase("LumdexFormatDb")) SyncDeleteDB("LumdexFormatDb", 0);
    log.clear();
    trace.clear();
    HsResetFaults();
    if (c.faultOp) HsInjectFault(c.faultOp, 1, SYNC_ERR_STORAGE, 0);
    DeviceCapabilities caps;
    EXPECT_FALSE(readDeviceCapabilities(caps)) << c.what;
    EXPECT_EQ(log, c.lines) << c.what;
    EXPECT_EQ(trace, c.traces) << c.what;
    bool opened = c.faultOp && std::string(c.faultOp) == "SyncReadRecordByIndex";
    EXPECT_EQ(HsCallCount("SyncCloseDB"), opened ? 1 : 0) << c.what;
  }
}

}  // namespace
}  // namespace lumora::pictures
