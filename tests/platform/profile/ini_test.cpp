#include "platform/profile/ini.h"

#include <gtest/gtest.h>

namespace lumora::ini {
namespace {

struct LookupCase {
  const char* text;
  const char* section;
  const char* key;
  std::optional<std::string> expected;
};

class IniLookup : public ::testing::TestWithParam<LookupCase> {};

TEST_P(IniLookup, FindsWhatTheProfileFunctionsFind) {
  const LookupCase& c = GetParam();
  EXPECT_EQ(lookup(c.text, c.section, c.key), c.expected) << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IniLookup,
    ::testing::Values(
        LookupCase{"[Lumdex]\r\nSyncDir=C:\\Pics\r\n", "Lumdex", "SyncDir", "C:\\Pics"},
        LookupCase{"[lumdex]\nsyncdir = D:\\x \n", "Lumdex", "SyncDir", "D:\\x"},
        LookupCase{"[Lumdex]\nSyncDir=\n", "Lumdex", "SyncDir", ""},
        LookupCase{"[Lumdex]\nSyncDir=\"quoted value\"\n", "Lumdex", "SyncDir", "quoted value"},
        LookupCase{"[Other]\nSyncDir=x\n", "Lumdex", "SyncDir", std::nullopt},
        LookupCase{"[Lumdex]\n;SyncDir=x\n", "Lumdex", "SyncDir", std::nullopt},
        LookupCase{"SyncDir=outside\n[Lumdex]\n", "Lumdex", "SyncDir", std::nullopt},
        LookupCase{"[Lumdex]\nA=1\nA=2\n", "Lumdex", "A", "1"},
        LookupCase{"[Lumdex]\nKey=a=b\n", "Lumdex", "Key", "a=b"},
        LookupCase{"[ Lumdex ]\nKey=v", "Lumdex", "Key", "v"},
        LookupCase{"", "Lumdex", "Key", std::nullopt}));

TEST(IniWrite, CreatesSectionInEmptyText) {
  EXPECT_EQ(withValue("", "Lumdex", "SyncDir", "C:\\Lumdex"), "[Lumdex]\r\nSyncDir=C:\\Lumdex\r\n");
}

TEST(IniWrite, ReplacesKeyInPlaceKeepingEverythingElse) {
  std::string text =
      "; settings\r\n[Lumdex]\r\nsyncdir=old\r\nAcceptedDepth=16\r\n[Other]\r\nx=1\r\n";
  EXPECT_EQ(withValue(text, "LUMDEX", "SyncDir", "new"),
            "; settings\r\n[Lumdex]\r\nSyncDir=new\r\nAcceptedDepth=16\r\n[Other]\r\nx=1\r\n");
}

TEST(IniWrite, AppendsMissingKeyAtEndOfItsSection) {
  std::string text = "[Lumdex]\nA=1\n\n[Other]\nx=1\n";
  EXPECT_EQ(withValue(text, "Lumdex", "B", "2"), "[Lumdex]\nA=1\nB=2\r\n\n[Other]\nx=1\n");
}

TEST(IniWrite, AppendsMissingSectionAfterUnterminatedLastLine) {
  EXPECT_EQ(withValue("[Other]\nx=1", "Lumdex", "B", "2"), "[Other]\nx=1\r\n[Lumdex]\r\nB=2\r\n");
}

TEST(IniWrite, WrittenValueReadsBack) {
  std::string text = withValue("[Lumdex]\nA=1\n", "Lumdex", "A", "  spaced  ");
  EXPECT_EQ(lookup(text, "Lumdex", "A"), "spaced");
}

TEST(IniSections, RemovesOnlyTheNamedSection) {
  std::string text =
      "; registry\r\n[LmDx]\r\nType=1\r\n\r\n[ lmdx2 ]\r\nType=2\r\n[lmdx]\r\nX=1\r\n";
  EXPECT_TRUE(hasSection(text, "LMDX"));
  EXPECT_TRUE(hasSection(text, "lmdx2"));
  EXPECT_FALSE(hasSection(text, "Type"));
  EXPECT_EQ(withoutSection(text, "LmDx"), "; registry\r\n[ lmdx2 ]\r\nType=2\r\n");
  EXPECT_EQ(withoutSection(text, "none"), text);
}

TEST(IniInteger, ReadsLeadingDigitsOnly) {
  struct {
    const char* text;
    unsigned int value;
  } cases[] = {{"144", 144}, {"72dpi", 72},       {"abc", 0},        {"", 0},     {"  16", 16},
               {"+8", 8},    {"-1", 0xFFFFFFFFu}, {"4294967297", 1}, {"0x10", 0}, {"260", 260}};
  for (const auto& c : cases) EXPECT_EQ(parseInteger(c.text), c.value) << c.text;
}

}  // namespace
}  // namespace lumora::ini
