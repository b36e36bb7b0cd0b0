#include <gtest/gtest.h>

#include <algorithm>

#include "bitmap/format.h"
#include "conduit/settings.h"
#include "conduit/transfer_entries.h"
#include "hotsync/api/hotsync_host.h"
#include "pictures/name_flag_list.h"
#include "pictures/picture_database.h"
#include "pictures/transfers.h"
#include "platform/files/files.h"
#include "tests/pictures/fake_codec.h"
#include "tests/pictures/handheld_fixture.h"

namespace lumora::pictures {
namespace {

using test::LogLine;

const LogLine kRead{"Lumora: database successfully read from handheld.", -1};

class ToDesktop : public test::HandheldTest {
 protected:
  void setSyncFolder(const std::string& folder) {
    auto& s = conduit::settings().syncFolder;
    std::fill(std::begin(s), std::end(s), '\0');
    std::copy(folder.begin(), folder.end(), s);
  }
  std::vector<std::string> decodedNames() const {
    std::vector<std::string> names;
    for (const auto& d : codec.decodes) {
      std::string base = d.path.substr(d.path.rfind('\\') + 1);
      names.push_back(base);
    }
    return names;
  }
  test::FakeCodec codec;
};

TEST_F(ToDesktop, CopiesEveryPictureOfTheTypeAndCreator) {
  putPicture("Sunset", kTypeUncompressed, kCreatorAlbum, test::pattern(10000, 1));
  putPicture("Harbour", kTypeUncompressed, kCreatorAlbum, test::pattern(300, 2));
  putPicture("Sketch", kTypeUncompressed, kCreatorPainting, test::pattern(300, 3));
  copyPicturesToDesktop(kTypeUncompressed, kCreatorAlbum, false);
  ASSERT_EQ(codec.decodes.size(), 2u);
  EXPECT_EQ(decodedNames(), (std::vector<std::string>{"Harbour.bmp", "Sunset.bmp"}));
  EXPECT_EQ(codec.decodes[0].path, syncDir() + "\\Harbour.bmp");
  EXPECT_EQ(codec.decodes[1].data, test::pattern(10000, 1));
  EXPECT_FALSE(codec.decodes[1].overwrite);
  EXPECT_EQ(log, (std::vector<LogLine>{kRead, kRead}));
}

TEST_F(ToDesktop, MissingSyncFolder) {
  putPicture("Sunset", kTypeUncompressed, kCreatorAlbum, test::pattern(10));
  const std::string folders[] = {"", "C:", "/", syncDir() + "/absent"};
  for (const auto& folder : folders) {
    setSyncFolder(folder);
    log.clear();
    EXPECT_FALSE(copyPicturesToDesktop(kTypeUncompressed, kCreatorAlbum, false)) << folder;
    EXPECT_EQ(log, (std::vector<LogLine>{{"Not existing desktop synchronization directory. The "
                                          "synchronization of Lumora failed.",
                                          22}}))
        << folder;
  }
  EXPECT_TRUE(codec.decodes.empty());
}

TEST_F(ToDesktop, NoPicturesNoLogLines) {
  EXPECT_TRUE(copyPicturesToDesktop(kTypeCompressed, kCreatorPainting, true));
  EXPECT_TRUE(log.empty());
  EXPECT_TRUE(codec.decodes.empty());
}

TEST_F(ToDesktop, ExistingFilesAndFlaggedNames) {
  putInfoDb(test::infoBlob({{"Hidden", 0}, {"Shown", 5}}));
  putPicture("Existing", kTypeUncompressed, kCreatorAlbum, test::pattern(10));
  putPicture("Hidden", kTypeUncompressed, kCreatorAlbum, test::pattern(10));
  putPicture("Shown", kTypeUncompressed, kCreatorAlbum, test::pattern(10));
  test::writeText(syncFile("Existing.bmp"), "old");
  reconnect();

  copyPicturesToDesktop(kTypeUncompressed, kCreatorAlbum, false);
  EXPECT_EQ(decodedNames(), (std::vector<std::string>{"Shown.bmp"}));
  EXPECT_EQ(test::readText(syncFile("Existing.bmp")), "old");

  codec.decodes.clear();
  copyPicturesToDesktop(kTypeUncompressed, kCreatorAlbum, true);
  EXPECT_EQ(decodedNames(), (std::vector<std::string>{"Existing.bmp", "Shown.bmp"}));
  EXPECT_TRUE(codec.decodes[0].overwrite);
}

TEST_F(ToDesktop, LastEntryRunningPastTheBlobKeepsItsPictureBack) {
  Bytes blob = test::infoBlob({{"Shown", 5}, {"Hidden", 0}});
  storeBe32(&blob[8 + 17 + 2], 999);  // the second entry's B
  putInfoDb(blob);
  putPicture("Hidden", kTypeUncompressed, kCreatorAlbum, test::pattern(10));
  putPicture("Shown", kTypeUncompressed, kCreatorAlbum, test::pattern(10));
  reconnect();
  copyPicturesToDesktop(kTypeUncompressed, kCreatorAlbum, true);
  EXPECT_EQ(decodedNames(), (std::vector<std::string>{"Shown.bmp"}));
}

TEST_F(ToDesktop, FirstPhaseAsksTheFileBeforeTheList) {
  putInfoDb(test::infoBlob({}));
  putPicture("Existing", kTypeUncompressed, kCreatorAlbum, test::pattern(10));
  test::writeText(syncFile("Existing.bmp"), "old");
  reconnect();
  HsResetFaults();
  copyPicturesToDesktop(kTypeUncompressed, kCreatorAlbum, false);
  // The list was never needed, so it was never loaded.
  EXPECT_EQ(HsCallCount("SyncFindDbByName"), 0);
}

TEST_F(ToDesktop, SecondPhaseGoesOnWithCompressedPictures) {
  // Searches run in name order: the second phase continues after the last 'bpmf' one.
  putPicture("A-compressed", kTypeCompressed, kCreatorAlbum, test::pattern(10));
  putPicture("B-plain", kTypeUncompressed, kCreatorAlbum, test::pattern(10));
  putPicture("C-compressed", kTypeCompressed, kCreatorAlbum, test::pattern(10));
  copyPicturesToDesktop(kTypeUncompressed, kCreatorAlbum, false);
  EXPECT_EQ(decodedNames(), (std::vector<std::string>{"B-plain.bmp", "C-compressed.bmp"}));

  // With nothing met in the first phase the second starts a new search.
  codec.decodes.clear();
  copyPicturesToDesktop(kTypeUncompressed, kCreatorPainting, true);
  EXPECT_TRUE(codec.decodes.empty());
  putPicture("D-sketch", kTypeCompressed, kCreatorPainting, test::pattern(10));
  copyPicturesToDesktop(kTypeUncompressed, kCreatorPainting, true);
  EXPECT_EQ(decodedNames(), (std::vector<std::string>{"D-sketch.bmp"}));
}

TEST_F(ToDesktop, CorruptedTagStillReadsTheStoredSize) {
  putDatabase("Odd", kTypeUncompressed, kCreatorAlbum, Bytes{0x00, 0x0D, 0x00, 0x00, 0x10, 0x00},
              {test::pattern(4096)});
  copyPicturesToDesktop(kTypeUncompressed, kCreatorAlbum, false);
  EXPECT_EQ(log, (std::vector<LogLine>{{"Lumora: app info block is corrupted.", -1}, kRead}));
  ASSERT_EQ(codec.decodes.size(), 1u);
  EXPECT_EQ(codec.decodes[0].data, test::pattern(4096));
}

TEST_F(ToDesktop, FailuresThatEndTheCall) {
  struct Case {
    const char* op;
    int nth;
    LogLine line;
    size_t closes;
  };
  const Case cases[] = {
      {"SyncOpenDB", 2, {"Lumora: failed to open handheld database.", -1}, 1},
      {"SyncReadDBAppInfoBlock", 2, {"Lumora: failed to read app info block.", -1}, 2},
      {"SyncReadRecordByIndex", 4, {"Lumora: failed to read record.", -1}, 2},
  };
  putPicture("P1", kTypeUncompressed, kCreatorAlbum, test::pattern(5000));
  putPicture("P2", kTypeUncompressed, kCreatorAlbum, test::pattern(5000));
  putPicture("P3", kTypeUncompressed, kCreatorAlbum, test::pattern(5000));
  for (const auto& c : cases) {
    reconnect();
    log.clear();
    codec.decodes.clear();
    HsResetFaults();
    HsInjectFault(c.op, c.nth, SYNC_ERR_STORAGE, 0);
    copyPicturesToDesktop(kTypeUncompressed, kCreatorAlbum, true);
    EXPECT_EQ(decodedNames(), (std::vector<std::string>{"P1.bmp"})) << c.op;
    EXPECT_EQ(log, (std::vector<LogLine>{kRead, c.line})) << c.op;
    EXPECT_EQ(HsCallCount("SyncCloseDB"), static_cast<int32_t>(c.closes)) << c.op;
  }
}

TEST_F(ToDesktop, SearchErrorEndsTheCallWithOneLine) {
  putPicture("P1", kTypeUncompressed, kCreatorAlbum, test::pattern(10));
  putPicture("P2", kTypeUncompressed, kCreatorAlbum, test::pattern(10));
  HsResetFaults();
  HsInjectFault("SyncFindDbByTypeCreator", 2, SYNC_ERR_NOT_CONNECTED, 0);
  HsInjectFault("SyncFindDbByTypeCreator", 3, SYNC_ERR_NOT_CONNECTED, 0);
  copyPicturesToDesktop(kTypeUncompressed, kCreatorAlbum, true);
  EXPECT_EQ(decodedNames(), (std::vector<std::string>{"P1.bmp"}));
  EXPECT_EQ(log, (std::vector<LogLine>{
                     kRead, {"Lumora: failed to search handheld databases (error 16411).", -1}}));
  EXPECT_EQ(HsCallCount("SyncFindDbByTypeCreator"), 2);
}

TEST_F(ToDesktop, OversizedPictureIsSkipped) {
  putDatabase("Huge", kTypeUncompressed, kCreatorAlbum, Bytes{0, 12, 0x7F, 0, 0, 0},
              {test::pattern(10)});
  putPicture("Next", kTypeUncompressed, kCreatorAlbum, test::pattern(10));
  copyPicturesToDesktop(kTypeUncompressed, kCreatorAlbum, false);
  EXPECT_EQ(decodedNames(), (std::vector<std::string>{"Next.bmp"}));
  EXPECT_EQ(log,
            (std::vector<LogLine>{
                {"Lumora: handheld database \"Huge\" is too large to read (2130706432 bytes).", -1},
                kRead}));
}

TEST_F(ToDesktop, DecoderFailureIsReported) {
  codec.decodeSucceeds = false;
  putPicture("Broken", kTypeUncompressed, kCreatorAlbum, test::pattern(3));
  putPicture("Second", kTypeUncompressed, kCreatorAlbum, test::pattern(3));
  copyPicturesToDesktop(kTypeUncompressed, kCreatorAlbum, false);
  const LogLine failed{
      "Lumora: failed to write the picture of handheld database \"Broken\" to the desktop.", -1};
  ASSERT_EQ(log.size(), 4u);
  EXPECT_EQ(log[0], kRead);
  EXPECT_EQ(log[1], failed);
  EXPECT_EQ(codec.decodes.size(), 2u);
}

TEST_F(ToDesktop, NamesThatWouldLeaveTheSyncFolderAreRefused) {
  const std::string names[] = {"..", "..\\up", "a/b", "C:x", "CON", "bell\a"};
  for (const auto& name : names)
    putPicture(name, kTypeUncompressed, kCreatorAlbum, test::pattern(3));
  putPicture("Fine", kTypeUncompressed, kCreatorAlbum, test::pattern(3));
  copyPicturesToDesktop(kTypeUncompressed, kCreatorAlbum, true);
  EXPECT_EQ(decodedNames(), (std::vector<std::string>{"Fine.bmp"}));
  std::vector<std::string> refused;
  for (const auto& line : log) {
    if (line.text.find("not a valid file name") != std::string::npos) {
      EXPECT_EQ(line.activity, -1);
      refused.push_back(line.text);
    }
  }
  ASSERT_EQ(refused.size(), 6u);
  EXPECT_NE(std::find(refused.begin(), refused.end(),
                      "Lumora: handheld database \"bell\\x07\" was not copied: its name is not a "
                      "valid file name."),
            refused.end());
}

// The host's file system, but its disk has the size and free space a test gives.
class DiskOfSize final : public files::FileSystem {
 public:
  explicit DiskOfSize(std::optional<files::DiskSpace> space)
      : space_(space), previous_(files::setFileSystem(this)) {}
  ~DiskOfSize() override { files::setFileSystem(previous_); }
  std::vector<std::string> find(std::string_view p) override { return host().find(p); }
  bool existsForRead(std::string_view p) override { return host().existsForRead(p); }
  std::unique_ptr<files::InputFile> openInput(std::string_view p, files::Share s) override {
    return host().openInput(p, s);
  }
  std::unique_ptr<files::OutputFile> createOutput(std::string_view p, bool replace) override {
    return host().createOutput(p, replace);
  }
  bool remove(std::string_view p) override { return host().remove(p); }
  bool makeFolders(std::string_view p) override { return host().makeFolders(p); }
  std::string tempFolder() override { return host().tempFolder(); }
  std::optional<files::DiskSpace> diskSpace(std::string_view) override { return space_; }

 private:
  static files::FileSystem& host() { return files::hostFileSystem(); }
  std::optional<files::DiskSpace> space_;
  files::FileSystem* previous_;
};

// A plain 1-bit bitmap whose .bmp takes width * 3 bytes a row.
Bytes plainBitmap(int16_t width, int16_t height) {
  bitmap::BitmapHeader h;
  h.width = width;
  h.height = height;
  h.bitsPerPixel = 1;
  h.rawSize = bitmap::rowLength(width, 1) * static_cast<uint32_t>(height);
  auto header = bitmap::buildHeader(h);
  Bytes b(header.begin(), header.end());
  b.resize(b.size() + h.rawSize, 0);
  return b;
}

TEST_F(ToDesktop, PictureThatWouldEatTheFreeSpaceMarginStaysOnTheHandheld) {
  constexpr uint64_t MiB = 1 << 20, GiB = MiB << 10;
  const Bytes big = plainBitmap(1000, 1000);  // a .bmp of 3,000,054 bytes
  putPicture("Big", kTypeUncompressed, kCreatorAlbum, big);
  putPicture("Tiny", kTypeUncompressed, kCreatorAlbum, plainBitmap(10, 10));
  const std::vector<std::string> both{"Big.bmp", "Tiny.bmp"}, tiny{"Tiny.bmp"};
  struct Case {
    const char* name;
    std::optional<uint32_t> marginMb;
    std::optional<files::DiskSpace> disk;
    std::vector<std::string> written;
    const char* keptLine;  // the line for Big, when it stays on the handheld
  };
  const Case cases[] = {
      {"512 MiB margin kept", std::nullopt, files::DiskSpace{100 * GiB, 516 * MiB}, both, nullptr},
      {"512 MiB margin reached", std::nullopt, files::DiskSpace{100 * GiB, 514 * MiB}, tiny,
       "less than 512 MiB free"},
      {"5% of a small disk kept", std::nullopt, files::DiskSpace{GiB, 56 * MiB}, both, nullptr},
      {"5% of a small disk reached", std::nullopt, files::DiskSpace{GiB, 53 * MiB}, tiny,
       "less than 51 MiB free"},
      {"margin set", 10u, files::DiskSpace{100 * GiB, 12 * MiB}, tiny, "less than 10 MiB free"},
      {"margin off", 0u, files::DiskSpace{100 * GiB, MiB}, both, nullptr},
      {"disk space unknown", std::nullopt, std::nullopt, both, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    conduit::settings().freeSpaceMarginMb = c.marginMb;
    DiskOfSize disk(c.disk);
    codec.decodes.clear();
    log.clear();
    EXPECT_TRUE(copyPicturesToDesktop(kTypeUncompressed, kCreatorAlbum, true));
    EXPECT_EQ(decodedNames(), c.written);
    const std::string line = c.keptLine ? "Lumora: handheld database \"Big\" was not copied: the "
                                          "desktop disk would keep " +
                                              std::string(c.keptLine) + "."
                                        : "";
    EXPECT_EQ(std::count(log.begin(), log.end(), LogLine{line, -1}), c.keptLine ? 1 : 0);
  }
  conduit::settings().freeSpaceMarginMb.reset();
}

}  // namespace
}  // namespace lumora::pictures
