#include <gtest/gtest.h>

#include "conduit/settings.h"
#include "conduit/transfer_entries.h"
#include "hotsync/api/hotsync_host.h"
#include "pictures/name_flag_list.h"
#include "pictures/picture_database.h"
#include "pictures/transfers.h"
#include "tests/pictures/fake_codec.h"
#include "tests/pictures/handheld_fixture.h"

namespace lumora::pictures {
namespace {

using test::LogLine;

const LogLine kCreated{"Lumora: database successfully created on handheld.", -1};
const LogLine kCreateFailed{"Lumora: failed to create database on handheld.", -1};

struct Fault {
  const char* op;
  int32_t nth;
  bool throws;
};

class ToHandheld : public test::HandheldTest {
 protected:
  void SetUp() override {
    HandheldTest::SetUp();
    putFormatDb(test::capabilityRecord(16, 320, 480, 144, 131072, 1));
  }
  void picture(const std::string& file, const Bytes& content) {
    test::writeFile(syncFile(file), content);
  }
  test::FakeCodec codec;
};

TEST_F(ToHandheld, EveryBmpBecomesAPictureDatabase) {
  picture("Sunset.bmp", test::pattern(8192, 1));
  picture("Tiny.BMP", test::pattern(5, 2));
  test::writeText(syncFile("notes.txt"), "not a picture");
  EXPECT_TRUE(copyPicturesToHandheld(kCreatorAlbum, false));
  EXPECT_EQ(log, (std::vector<LogLine>{kCreated, kCreated}));

  auto sunset = readDatabase("Sunset");
  ASSERT_TRUE(sunset);
  EXPECT_EQ(sunset->type, kTypeCompressed);
  EXPECT_EQ(sunset->creator, kCreatorAlbum);
  EXPECT_EQ(sunset->appInfo, (Bytes{0, 12, 0, 0, 0x20, 0}));
  ASSERT_EQ(sunset->records.size(), 2u);
  EXPECT_EQ(sunset->joined(), test::pattern(8192, 1));
  EXPECT_EQ(readDatabase("Tiny")->joined(), test::pattern(5, 2));
  EXPECT_EQ(databaseNames(), (std::vector<std::string>{"LumdexFormatDb", "Sunset", "Tiny"}));
  EXPECT_EQ(NameFlagList::instance().created().size(), 2u);
  ASSERT_EQ(codec.encodes.size(), 2u);
  EXPECT_EQ(codec.encodes[0].path.substr(0, syncDir().size() + 1), syncDir() + "\\");
}

TEST_F(ToHandheld, TypeFollowsCompression) {
  conduit::settings().acceptedCapabilities.compression = 0;
  picture("Plain.bmp", test::pattern(10));
  EXPECT_TRUE(copyPicturesToHandheld(kCreatorAlbum, false));
  EXPECT_EQ(readDatabase("Plain")->type, kTypeUncompressed);
}

TEST_F(ToHandheld, PassDoesNotStart) {
  picture("Sunset.bmp", test::pattern(10));
  SyncDeleteDB("LumdexFormatDb", 0);
  EXPECT_FALSE(copyPicturesToHandheld(kCreatorAlbum, false));
  EXPECT_EQ(log, (std::vector<LogLine>{{"Lumora : Could not open \"LumdexFormatDb\"", 22}}));

  putFormatDb(test::capabilityRecord(16, 320, 480, 144, 131072, 1));
  conduit::settings().syncFolder[2] = '\0';
  log.clear();
  EXPECT_FALSE(copyPicturesToHandheld(kCreatorAlbum, false));
  EXPECT_EQ(log, (std::vector<LogLine>{{"Not existing desktop synchronization directory. The "
                                        "synchronization of Lumora failed.",
                                        22}}));
  EXPECT_FALSE(hasDatabase("Sunset"));
}

TEST_F(ToHandheld, EmptySyncFolderIsASuccess) {
  EXPECT_TRUE(copyPicturesToHandheld(kCreatorAlbum, true));
  EXPECT_TRUE(log.empty());
}

TEST_F(ToHandheld, ExistingDatabases) {
  putPicture("Sunset", kTypeUncompressed, kCreatorPainting, test::pattern(10, 9));
  picture("Sunset.bmp", test::pattern(20, 1));
  EXPECT_TRUE(copyPicturesToHandheld(kCreatorAlbum, false));
  EXPECT_TRUE(log.empty());
  EXPECT_EQ(readDatabase("Sunset")->joined(), test::pattern(10, 9));
  EXPECT_TRUE(NameFlagList::instance().created().empty());

  EXPECT_TRUE(copyPicturesToHandheld(kCreatorAlbum, true));
  EXPECT_EQ(log, (std::vector<LogLine>{kCreated}));
  auto sunset = readDatabase("Sunset");
  EXPECT_EQ(sunset->joined(), test::pattern(20, 1));
  EXPECT_EQ(sunset->creator, kCreatorAlbum);
  EXPECT_EQ(NameFlagList::instance().created(), (std::vector<std::string>{"Sunset"}));
}

TEST_F(ToHandheld, FlaggedNamesStayOnTheDesktop) {
  putInfoDb(test::infoBlob({{"Private", 0}}));
  reconnect();
  picture("Private.bmp", test::pattern(10));
  picture("private.bmp", test::pattern(10));
  EXPECT_TRUE(copyPicturesToHandheld(kCreatorAlbum, true));
  EXPECT_FALSE(hasDatabase("Private"));
  EXPECT_TRUE(hasDatabase("private"));
  EXPECT_EQ(NameFlagList::instance().created(), (std::vector<std::string>{"private"}));
}

TEST_F(ToHandheld, RefusedPictureSwapsTheMaximaForGood) {
  picture("Big.bmp", Bytes{'B', 'I', 'G'});
  EXPECT_TRUE(copyPicturesToHandheld(kCreatorAlbum, false));
  EXPECT_EQ(log, (std::vector<LogLine>{{"Lumora: Cannot download Big.bmp file to handheld because "
                                        "the device supports 480 x 320 bitmaps with maximum size "
                                        "of 131072 bytes of raw data",
                                        -1}}));
  EXPECT_FALSE(hasDatabase("Big"));
  ASSERT_EQ(codec.encodes.size(), 2u);
  EXPECT_EQ(codec.encodes[0].maxWidth, 320);
  EXPECT_EQ(codec.encodes[1].maxWidth, 480);
  EXPECT_EQ(NameFlagList::instance().created(), (std::vector<std::string>{"Big"}));
}

TEST_F(ToHandheld, SwapCarriesOverToLaterFiles) {
  // Files come in the folder's order; find the order to know which one follows.
  picture("Big.bmp", Bytes{'B', 'I', 'G'});
  picture("Small.bmp", test::pattern(10));
  EXPECT_TRUE(copyPicturesToHandheld(kCreatorAlbum, false));
  ASSERT_EQ(codec.encodes.size(), 3u);
  bool bigFirst = codec.encodes[0].path.ends_with("Big.bmp");
  const auto& small = bigFirst ? codec.encodes[2] : codec.encodes[0];
  EXPECT_EQ(small.maxWidth, bigFirst ? 480 : 320);
  EXPECT_EQ(small.maxHeight, bigFirst ? 320 : 480);
  EXPECT_TRUE(hasDatabase("Small"));
}

TEST_F(ToHandheld, FailuresOfOneFile) {
  struct Case {
    const char* what;
    const char* op;
    int nth;
    std::vector<LogLine> lines;
    bool left;  // whether the database is on the handheld afterwards
  };
  const Case cases[] = {
      {"create", "SyncCreateDB", 1, {kCreateFailed}, false},
      {"app-info",
       "SyncWriteDBAppInfoBlock",
       1,
       {{"Lumora: failed to write app info block.", -1}},
       false},
      {"first record",
       "SyncWriteRec",
       1,
       {{"Lumora: failed to write record.", -1},
        {"Lumora: failed to create database on handheld. Check whethere there is enough free "
         "space",
         -1}},
       false},
      {"third record",
       "SyncWriteRec",
       3,
       {{"Lumora: failed to write record.", -1},
        {"Lumora: failed to create database on handheld. Check whethere there is enough free "
         "space",
         -1}},
       false},
  };
  picture("Sunset.bmp", test::pattern(10000));
  for (const auto& c : cases) {
    reconnect();
    SyncDeleteDB("Sunset", 0);
    log.clear();
    HsResetFaults();
    HsInjectFault(c.op, c.nth, SYNC_ERR_STORAGE, 0);
    EXPECT_TRUE(copyPicturesToHandheld(kCreatorAlbum, false)) << c.what;
    EXPECT_EQ(log, c.lines) << c.what;
    EXPECT_EQ(hasDatabase("Sunset"), c.left) << c.what;
    EXPECT_EQ(NameFlagList::instance().created(), (std::vector<std::string>{"Sunset"})) << c.what;
  }
}

// Replacing a picture: whatever fails, the handheld keeps the old picture or gets the new one.
TEST_F(ToHandheld, ReplacedPictureSurvivesEveryFailure) {
  const LogLine kRecordFailed{"Lumora: failed to write record.", -1};
  const LogLine kNoSpace{
      "Lumora: failed to create database on handheld. Check whethere there is enough free space",
      -1};
  const LogLine kRefused{
      "Lumora: Cannot download Sunset.bmp file to handheld because the device "
      "supports 480 x 320 bitmaps with maximum size of 131072 bytes of raw data",
      -1};
  struct Case {
    const char* what;
    std::vector<Fault> faults;
    bool refused;  // the desktop picture cannot be converted
    std::vector<LogLine> lines;
    bool throws;
  };
  const Case cases[] = {
      {"picture refused", {}, true, {kRefused}, false},
      {"re-create fails", {{"SyncCreateDB", 2, false}}, false, {kCreateFailed}, false},
      {"re-create throws", {{"SyncCreateDB", 2, true}}, false, {}, true},
      {"delete fails", {{"SyncDeleteDB", 1, false}}, false, {kCreateFailed}, false},
      {"app-info write fails",
       {{"SyncWriteDBAppInfoBlock", 1, false}},
       false,
       {{"Lumora: failed to write app info block.", -1}},
       false},
      {"second record fails",
       {{"SyncWriteRec", 2, false}},
       false,
       {kRecordFailed, kNoSpace},
       false},
      {"record write throws", {{"SyncWriteRec", 1, true}}, false, {}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    reconnect();
    SyncDeleteDB("Sunset", 0);
    putPicture("Sunset", kTypeUncompressed, kCreatorPainting, test::pattern(5000, 9));
    auto before = readDatabase("Sunset");
    picture("Sunset.bmp", c.refused ? Bytes{'B', 'I', 'G'} : test::pattern(10000, 1));
    log.clear();
    HsResetFaults();
    for (const auto& f : c.faults) HsInjectFault(f.op, f.nth, SYNC_ERR_STORAGE, f.throws ? 1 : 0);
    if (c.throws) {
      EXPECT_THROW(copyPicturesToHandheld(kCreatorAlbum, true), int32_t);
    } else {
      EXPECT_TRUE(copyPicturesToHandheld(kCreatorAlbum, true));
    }
    EXPECT_EQ(log, c.lines);
    auto after = readDatabase("Sunset");
    ASSERT_TRUE(after);
    EXPECT_EQ(after->type, before->type);
    EXPECT_EQ(after->creator, kCreatorPainting);
    EXPECT_EQ(after->appInfo, before->appInfo);
    EXPECT_EQ(after->records, before->records);
    if (c.refused) {
      EXPECT_EQ(HsCallCount("SyncDeleteDB"), 0);
    }
  }
}

TEST_F(ToHandheld, ReplacementNeedsTheOldPictureReadable) {
  putPicture("Sunset", kTypeUncompressed, kCreatorAlbum, test::pattern(10, 9));
  picture("Sunset.bmp", test::pattern(20, 1));
  HsResetFaults();
  HsInjectFault("SyncReadRecordByIndex", 2, SYNC_ERR_STORAGE, 0);  // the first reads the format
  EXPECT_TRUE(copyPicturesToHandheld(kCreatorAlbum, true));
  EXPECT_EQ(log, (std::vector<LogLine>{
                     {"Lumora: handheld database \"Sunset\" could not be read, so it was not "
                      "replaced.",
                      -1}}));
  EXPECT_EQ(readDatabase("Sunset")->joined(), test::pattern(10, 9));
  EXPECT_EQ(HsCallCount("SyncDeleteDB"), 0);
}

TEST_F(ToHandheld, OldPictureThatCannotBePutBackIsReported) {
  putPicture("Sunset", kTypeUncompressed, kCreatorAlbum, test::pattern(10, 9));
  picture("Sunset.bmp", test::pattern(20, 1));
  HsResetFaults();
  HsInjectFault("SyncCreateDB", 2, SYNC_ERR_STORAGE, 0);
  HsInjectFault("SyncCreateDB", 3, SYNC_ERR_STORAGE, 0);
  EXPECT_TRUE(copyPicturesToHandheld(kCreatorAlbum, true));
  EXPECT_EQ(log,
            (std::vector<LogLine>{
                kCreateFailed,
                {"Lumora: the former handheld database \"Sunset\" could not be put back.", -1}}));
  EXPECT_FALSE(hasDatabase("Sunset"));
  EXPECT_EQ(NameFlagList::instance().created(), (std::vector<std::string>{"Sunset"}));
}

TEST_F(ToHandheld, FileNamesThatDoNotFitADatabaseName) {
  picture("12345678901234567890123456789012.bmp", test::pattern(10));
  picture("1234567890123456789012345678901.bmp", test::pattern(10));
  picture(".bmp", test::pattern(10));
  EXPECT_TRUE(copyPicturesToHandheld(kCreatorAlbum, false));
  EXPECT_TRUE(hasDatabase("1234567890123456789012345678901"));
  EXPECT_FALSE(
      hasDatabase("1234567890123456789012345678901"
                  "2"));
  size_t refused = 0;
  for (const auto& line : log) {
    if (line.text.find("1 to 31 characters") != std::string::npos) ++refused;
  }
  EXPECT_EQ(refused, 2u);
  EXPECT_NE(std::find(log.begin(), log.end(),
                      LogLine{"Lumora: file 12345678901234567890123456789012.bmp was not copied "
                              "to the handheld: its name without the extension must have 1 to 31 "
                              "characters.",
                              -1}),
            log.end());
  EXPECT_EQ(NameFlagList::instance().created().size(), 1u);
}

}  // namespace
}  // namespace lumora::pictures
