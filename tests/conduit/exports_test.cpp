#include "conduit/exports.h"

#include <gtest/gtest.h>

#include <cstring>

#include "common/bytes.h"
#include "conduit/library_entry.h"
#include "conduit/settings.h"
#include "tests/support/temp_dir.h"

namespace lumora::conduit {
namespace {

std::vector<uint8_t> nameRequest(uint32_t version, uint32_t size) {
  std::vector<uint8_t> r(80, 0);
  storeLe32(r.data(), version);
  storeLe32(r.data() + 4, size);
  return r;
}

TEST(ConduitInfo, ResultCodesInOrder) {
  auto good = nameRequest(1, 80);
  uint8_t out[256];
  uint32_t four = 4, eight = 8, big = sizeof out;
  struct {
    int32_t type;
    void* request;
    void* out;
    uint32_t* size;
    int32_t result;
  } cases[] = {
      {0, good.data(), nullptr, &big, 4209}, {9, nullptr, nullptr, nullptr, 4209},
      {0, good.data(), out, nullptr, 4215},  {0, nullptr, out, &big, 4212},
      {1, nullptr, out, &eight, 4211},       {2, nullptr, out, &eight, 4211},
      {9, good.data(), out, &four, 4208},    {-1, good.data(), out, &four, 4208},
  };
  for (const auto& c : cases)
    EXPECT_EQ(GetConduitInfo(c.type, c.request, c.out, c.size), c.result) << c.type;
}

TEST(ConduitInfo, NameRequestMustBeVersion1AndSize80) {
  char out[64];
  uint32_t size = sizeof out;
  EXPECT_EQ(GetConduitInfo(0, nameRequest(1, 81).data(), out, &size), 4213);
  EXPECT_EQ(GetConduitInfo(0, nameRequest(2, 80).data(), out, &size), 4213);
  EXPECT_EQ(GetConduitInfo(0, nameRequest(1, 80).data(), out, &size), 0);
  EXPECT_STREQ(out, "Lumora 2004");
  EXPECT_EQ(size, sizeof out);  // never changed
}

TEST(ConduitInfo, DisplayNameNeedsRoomForOneCharacter) {
  char out[4] = "zz";
  uint32_t one = 1, three = 3;
  EXPECT_EQ(GetConduitInfo(0, nameRequest(1, 80).data(), out, &one), 4214);
  EXPECT_EQ(GetConduitInfo(0, nameRequest(1, 80).data(), out, &three), 0);
  EXPECT_STREQ(out, "Lu");
}

TEST(ConduitInfo, VersionAndDefaultActionIgnoreTheRequest) {
  uint32_t value = 0xDEADBEEF, size = 4;
  EXPECT_EQ(GetConduitInfo(1, nullptr, &value, &size), 0);
  EXPECT_EQ(value, 0x10000000u);
  EXPECT_EQ(GetConduitInfo(2, nullptr, &value, &size), 0);
  EXPECT_EQ(value, 0u);
}

TEST(ConduitName, TruncatesToBufferLength) {
  char five[5];
  EXPECT_EQ(GetConduitName(five, 5), 0);
  EXPECT_STREQ(five, "Lumo");
  char one[1];
  EXPECT_EQ(GetConduitName(one, 1), -1);
  EXPECT_EQ(GetConduitName(nullptr, 10), -1);
}

TEST(ConduitExports, VersionAndConfigure) {
  EXPECT_EQ(GetConduitVersion(), 0x102);
  EXPECT_EQ(ConfigureConduit(nullptr), -1);
}

TEST(CfgConduitArguments, CheckedInOrder) {
  // The one valid call opens the dialog: play it headless, closing at once.
  test::ScopedEnv headless{"LUMORA_DIALOG_SCRIPT", ""};
  std::vector<uint8_t> record(352, 0);
  storeLe32(record.data(), 1);
  std::vector<uint8_t> badVersion(352, 0);
  storeLe32(badVersion.data(), 2);
  uint32_t size = 352, small = 351;
  struct {
    int32_t type;
    void* record;
    uint32_t* size;
    int32_t result;
  } cases[] = {
      {0, nullptr, &size, 4212},           {0, record.data(), nullptr, 4216},
      {5, record.data(), &small, 4218},    {1, record.data(), &size, 4217},
      {0, badVersion.data(), &size, 4219}, {0, record.data(), &size, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(CfgConduit(c.type, c.record, c.size), c.result);
}

TEST(Attach, CountsAttachesAndKeepsFirstModule) {
  test::TempDir dir;
  test::ScopedEnv windows{"LUMORA_WINDOWS_DIR", dir.path()};
  test::writeText(dir.file("Lumdex.ini"), "[Lumdex]\nSyncDir=D:\\One\n");
  int first = 0, second = 0;
  int32_t before = attachCount();
  processAttach(&first);
  EXPECT_STREQ(settings().syncFolder, "D:\\One");
  test::writeText(dir.file("Lumdex.ini"), "[Lumdex]\nSyncDir=D:\\Two\n");
  processAttach(&second);
  EXPECT_STREQ(settings().syncFolder, "D:\\Two");  // every attach reads anew
  EXPECT_EQ(attachCount(), before + 2);
  if (before == 0) {
    EXPECT_EQ(moduleHandle(), &first);
  }
  processDetach();
  processDetach();
  EXPECT_EQ(attachCount(), before);
}

}  // namespace
}  // namespace lumora::conduit
