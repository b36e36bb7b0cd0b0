#include "pictures/name_flag_blob.h"

#include <gtest/gtest.h>

#include "tests/pictures/handheld_fixture.h"

namespace lumora::pictures {
namespace {

using test::infoBlob;

uint8_t flagIn(const std::vector<NameFlagEntry>& entries, const std::string& name) {
  for (const auto& e : entries)
    if (e.name && *e.name == name) return e.flag;
  return 1;
}

// A raw entry: A and B as given, drop bytes, flag, name.
Bytes entry(uint8_t a, uint32_t b, uint8_t drop6, uint8_t drop7, uint8_t flag,
            const std::string& name) {
  Bytes e{0, a};
  appendBe32(e, b);
  Bytes rest{drop6, drop7, flag, static_cast<uint8_t>(name.size())};
  e.insert(e.end(), rest.begin(), rest.end());
  appendText(e, name);
  return e;
}

Bytes blobOf(uint16_t count, const std::vector<Bytes>& entries) {
  Bytes b{0xAA, 0xBB, 0, 0, 0, 1};
  appendBe16(b, count);
  for (const auto& e : entries) b.insert(b.end(), e.begin(), e.end());
  return b;
}

TEST(NameFlagBlob, FlagsByExactName) {
  auto entries = parseNameFlagBlob(infoBlob({{"Beach", 0}, {"Garden", 1}, {"Beach", 1}}));
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(flagIn(entries, "Beach"), 0);  // the first of two counts
  EXPECT_EQ(flagIn(entries, "Garden"), 1);
  EXPECT_EQ(flagIn(entries, "beach"), 1);
  EXPECT_EQ(flagIn(entries, "Other"), 1);
}

TEST(NameFlagBlob, DroppedAndNamelessEntries) {
  auto entries =
      parseNameFlagBlob(blobOf(4, {entry(1, 12, 1, 0, 0, "Six"), entry(0, 15, 0, 1, 0, "Seven"),
                                   entry(0, 10, 0, 2, 0, ""), entry(0, 14, 0, 2, 0, "Kept")}));
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_FALSE(entries[0].name.has_value());
  EXPECT_EQ(entries[1].name, "Kept");
  EXPECT_EQ(entries[1].flag, 0);
}

TEST(NameFlagBlob, WalkEndsInsteadOfReadingPastTheBlob) {
  struct Case {
    const char* what;
    Bytes blob;
    size_t expected;
  };
  Bytes cut = blobOf(2, {entry(0, 14, 0, 0, 0, "Keep"), entry(0, 14, 0, 0, 0, "Lost")});
  cut.resize(cut.size() - 2);  // the second entry's name runs past the end
  const Case cases[] = {
      {"empty blob", {}, 0},
      {"header only", blobOf(0, {}), 0},
      {"count without entries", blobOf(3, {}), 0},
      {"count larger than entries", blobOf(5, {entry(0, 14, 0, 0, 0, "Only")}), 1},
      {"name past the end", cut, 1},
      {"entry header cut", blobOf(1, {Bytes{0, 0, 0, 0, 0, 9}}), 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(parseNameFlagBlob(c.blob).size(), c.expected) << c.what;
  }
}

// An entry whose A + B leaves no room for a next one still counts when its header and name
// are inside the blob; the walk stops after it.
TEST(NameFlagBlob, LastReadableEntryCountsWhateverItsLength) {
  struct Case {
    const char* what;
    Bytes blob;
    std::vector<std::pair<std::string, uint8_t>> kept;
  };
  Bytes tail{0xEE, 0xEE};
  Bytes longPlusTail = entry(0, 99, 0, 0, 0, "Long");
  longPlusTail.insert(longPlusTail.end(), tail.begin(), tail.end());
  const Case cases[] = {
      {"length past the end",
       blobOf(2, {entry(0, 14, 0, 0, 0, "Keep"), entry(0, 99, 0, 0, 0, "Long")}),
       {{"Keep", 0}, {"Long", 0}}},
      {"bytes after the name, length past the end", blobOf(1, {longPlusTail}), {{"Long", 0}}},
      {"huge A + B",
       blobOf(3, {entry(255, 0xFFFFFFFF, 0, 0, 0, "Huge"), entry(0, 14, 0, 0, 1, "Next")}),
       {{"Huge", 0}}},
      {"length zero",
       blobOf(3, {entry(0, 0, 0, 0, 0, "Zero"), entry(0, 14, 0, 0, 1, "Next")}),
       {{"Zero", 0}}},
      {"dropped entry past the end", blobOf(1, {entry(0, 99, 1, 0, 0, "Gone")}), {}},
  };
  for (const auto& c : cases) {
    std::vector<std::pair<std::string, uint8_t>> kept;
    for (const auto& e : parseNameFlagBlob(c.blob)) kept.emplace_back(e.name.value_or(""), e.flag);
    EXPECT_EQ(kept, c.kept) << c.what;
  }
}

TEST(NameFlagBlob, NextEntryStartsAPlusBFurther) {
  // A short A + B lets the name overlap the next entry, which starts where A + B says.
  Bytes first = entry(0, 20, 0, 0, 0, "First");
  first.resize(20, 0xEE);
  auto entries = parseNameFlagBlob(blobOf(2, {first, entry(0, 14, 0, 0, 0, "Then")}));
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[1].name, "Then");
}

TEST(NameFlagBlob, WrittenBackTrailer) {
  Bytes blob = infoBlob({{"Beach", 0}});
  Bytes out = writtenBackBlob(blob, {"Beach", "Garden", "Sky"});
  ASSERT_EQ(out.size(), blob.size() + 17 + 2);
  EXPECT_EQ(loadBe32(out.data() + 2), kWrittenBackFlag);
  EXPECT_TRUE(std::equal(blob.begin() + 6, blob.end(), out.begin() + 6));
  Bytes trailer(out.begin() + static_cast<long>(blob.size()), out.end());
  Bytes expected{0,   3,   5,   'B', 'e', 'a', 'c', 'h', 6,  'G',
                 'a', 'r', 'd', 'e', 'n', 3,   'S', 'k', 'y'};
  EXPECT_EQ(trailer, expected);
}

TEST(NameFlagBlob, WrittenBackKeepsOtherFlagBitsAndShortBlobs) {
  Bytes blob{1, 2, 0x80, 0, 0, 0x01, 0, 0};
  Bytes out = writtenBackBlob(blob, {});
  EXPECT_EQ(out, (Bytes{1, 2, 0x80, 0, 0, 0x05, 0, 0, 0, 0}));
  // Too short to hold the flags: kept as read, trailer appended.
  EXPECT_EQ(writtenBackBlob(Bytes{7, 7, 7}, {"A"}), (Bytes{7, 7, 7, 0, 1, 1, 'A'}));
}

TEST(NameFlagBlob, TrailerHoldsAtMost255Names) {
  std::vector<std::string> names(300, "N");
  Bytes out = writtenBackBlob({}, names);
  ASSERT_EQ(out.size(), 2 + 255 * 2u);
  EXPECT_EQ(loadBe16(out.data()), 255);
}

}  // namespace
}  // namespace lumora::pictures
