#include "fonts/font_database.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "fonts/font_names.h"
#include "tests/fonts/font_test_support.h"

namespace lumora::fonts {
namespace {

using test::fontBytes;
using test::parseDatabase;

class MemoryOutput final : public files::OutputFile {
 public:
  Bytes bytes;
  bool write(const uint8_t* b, size_t count) override {
    bytes.insert(bytes.end(), b, b + count);
    return true;
  }
  bool commit() override { return true; }
};

Bytes convert(Variant variant, const Bytes& font, std::string_view name = "x.ttf") {
  files::MemoryInput in(font);
  MemoryOutput out;
  EXPECT_EQ(writeFontDatabase(variant, nameField(name), font.size(), in, out), WriteStatus::ok);
  return out.bytes;
}

Bytes concatenated(const test::ParsedDatabase& db) {
  Bytes all;
  for (const auto& r : db.records) all.insert(all.end(), r.data.begin(), r.data.end());
  return all;
}

struct LayoutCase {
  const char* label;
  Variant variant;
  size_t fontSize;
  std::vector<uint16_t> lengths;
  std::vector<uint32_t> offsets;
  size_t fileSize;
};

class Layout : public testing::TestWithParam<LayoutCase> {};

TEST_P(Layout, RecordsOffsetsAndSize) {
  const LayoutCase& c = GetParam();
  const Bytes font = fontBytes(c.fontSize);
  const Bytes file = convert(c.variant, font);
  EXPECT_EQ(file.size(), c.fileSize);
  auto db = parseDatabase(file);
  ASSERT_TRUE(db);
  ASSERT_EQ(db->count, c.lengths.size());
  for (size_t i = 0; i < c.lengths.size(); ++i) {
    EXPECT_EQ(db->records[i].length, c.lengths[i]) << "record " << i;
    EXPECT_EQ(db->records[i].offset, c.offsets[i]) << "record " << i;
    EXPECT_EQ(db->records[i].signature, "DBLK");
    EXPECT_EQ(db->records[i].zero, 0);
    EXPECT_EQ(db->records[i].attributes, 0x40);
  }
  EXPECT_TRUE(db->blocksBackToBack);
  EXPECT_EQ(concatenated(*db), font);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, Layout,
    testing::Values(
        LayoutCase{
            "conduit_10000", Variant::conduit, 10000, {4096, 4096, 1808}, {102, 4206, 8310}, 10126},
        LayoutCase{"installer_10000",
                   Variant::installer,
                   10000,
                   {4096, 4096, 1808},
                   {102, 4206, 8310},
                   10126},
        LayoutCase{
            "conduit_8192", Variant::conduit, 8192, {4096, 4096, 0}, {102, 4206, 8310}, 8318},
        LayoutCase{"installer_8192", Variant::installer, 8192, {4096, 4096}, {94, 4198}, 8302},
        LayoutCase{"conduit_empty", Variant::conduit, 0, {0}, {86}, 94},
        LayoutCase{"installer_empty", Variant::installer, 0, {}, {}, 78},
        LayoutCase{"conduit_1", Variant::conduit, 1, {1}, {86}, 95},
        LayoutCase{"installer_1", Variant::installer, 1, {1}, {86}, 95},
        LayoutCase{"conduit_4095", Variant::conduit, 4095, {4095}, {86}, 4189},
        LayoutCase{"installer_4096", Variant::installer, 4096, {4096}, {86}, 4190}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(FontDatabase, HeaderConstantsAreTheSameInBothVariants) {
  // attributes 0x0080, version 0, the two dates, backup 0, modification 54, no app-info or
  // sort-info block, "ttfn", "TTFt", the seed "mP, " and no next record list.
  const Bytes expected = {0x00, 0x80, 0x00, 0x00, 0xBA, 0xAD, 0xFD, 0xCD, 0xBA, 0xAD, 0xFD,
                          0xCE, 0,    0,    0,    0,    0x00, 0x00, 0x00, 0x36, 0,    0,
                          0,    0,    0,    0,    0,    0,    't',  't',  'f',  'n',  'T',
                          'T',  'F',  't',  'm',  'P',  ',',  ' ',  0,    0,    0,    0};
  for (Variant v : {Variant::conduit, Variant::installer}) {
    auto db = parseDatabase(convert(v, fontBytes(5000)));
    ASSERT_TRUE(db);
    EXPECT_EQ(db->constants, expected);
  }
}

TEST(FontDatabase, NameFieldIsZeroPaddedAndMayFillAllThirtyTwoBytes) {
  Bytes file = convert(Variant::installer, fontBytes(10), "arial.ttf");
  EXPECT_EQ(std::string(file.begin(), file.begin() + 9), "arial.ttf");
  EXPECT_TRUE(std::all_of(file.begin() + 9, file.begin() + 32, [](uint8_t b) { return b == 0; }));

  const std::string full(32, 'N');
  file = convert(Variant::installer, fontBytes(10), full);
  EXPECT_EQ(std::string(file.begin(), file.begin() + 32), full);
  EXPECT_EQ(file[32], 0x00);  // the attributes follow at once
  EXPECT_EQ(file[33], 0x80);
}

TEST(FontDatabase, UniqueIdsDifferByVariant) {
  // 256 full records and more, so that the low byte wraps.
  const Bytes font = fontBytes(4096 * 257 + 10);
  struct Expect {
    Variant variant;
    uint32_t first, second, at255;
  };
  for (auto e : {Expect{Variant::conduit, 0xD54001, 0xD54002, 0xD54000},
                 Expect{Variant::installer, 0xD54000, 0xD54002, 0xD540FE}}) {
    auto db = parseDatabase(convert(e.variant, font));
    ASSERT_TRUE(db);
    EXPECT_EQ(db->records[0].uniqueId, e.first);
    EXPECT_EQ(db->records[1].uniqueId, e.second);
    EXPECT_EQ(db->records[255].uniqueId, e.at255);
  }
}

TEST(FontDatabase, SizeLimitsKeepCountAndOffsetsInTheirFields) {
  // The conduit's last accepted size has 8182 records and a first offset of 65534.
  EXPECT_TRUE(fitsDatabase(Variant::conduit, kConduitMaxFontSize));
  EXPECT_FALSE(fitsDatabase(Variant::conduit, kConduitMaxFontSize + 1));
  EXPECT_EQ(recordCount(Variant::conduit, kConduitMaxFontSize), 8182u);
  EXPECT_EQ(recordOffset(8182, 0), 65534u);
  EXPECT_EQ(recordCount(Variant::conduit, kConduitMaxFontSize + 1), 8183u);
  EXPECT_GT(recordOffset(8183, 0), 0xFFFFu);

  EXPECT_TRUE(fitsDatabase(Variant::installer, 65535ull * 4096));
  EXPECT_EQ(recordCount(Variant::installer, 65535ull * 4096), 65535u);
  EXPECT_FALSE(fitsDatabase(Variant::installer, 65535ull * 4096 + 1));
  EXPECT_FALSE(fitsDatabase(Variant::installer, 1ull << 32));
}

TEST(FontDatabase, RefusesWhatDoesNotFitBeforeWritingAnything) {
  Bytes font;
  files::MemoryInput in(font);
  MemoryOutput out;
  EXPECT_EQ(writeFontDatabase(Variant::conduit, nameField("x"), kConduitMaxFontSize + 1, in, out),
            WriteStatus::tooLarge);
  EXPECT_TRUE(out.bytes.empty());
}

TEST(FontDatabase, AFontShorterThanItsSizeIsAShortRead) {
  const Bytes font = fontBytes(5000);
  files::MemoryInput in(font);
  MemoryOutput out;
  EXPECT_EQ(writeFontDatabase(Variant::installer, nameField("x"), 6000, in, out),
            WriteStatus::shortRead);
}

}  // namespace
}  // namespace lumora::fonts
