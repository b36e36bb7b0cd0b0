// HotSyncs of every sync type through the real host and conduit, on a copy of the sample
// handheld and sync folder.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>

#include "hotsync/api/hotsync_host.h"
#include "samples/sample_files.h"
#include "tests/support/temp_dir.h"

namespace lumora::samples {
namespace {

namespace fs = std::filesystem;
using Snapshot = std::map<std::string, Bytes>;

const std::string kSamples = LUMORA_SOURCE_DIR "/samples";
const std::string kSuccess = "[-1] Lumora: sync operation completed successfully.";
const std::string kRead = "[-1] Lumora: database successfully read from handheld.";
const std::string kCreated = "[-1] Lumora: database successfully created on handheld.";
const std::set<std::string> kSampleBmps{"Greys.bmp", "Lighthouse.bmp", "Mono Sign.bmp",
                                        "Tiles.bmp"};

std::string quote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

struct CommandRun {
  int status = -1;
  std::vector<std::string> lines;
  size_t count(const std::string& line) const {
    return static_cast<size_t>(std::count(lines.begin(), lines.end(), line));
  }
};

CommandRun runCommand(const std::string& command) {
  CommandRun run;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return run;
  char buffer[4096];
  std::string text;
  while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) text.append(buffer, n);
  int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) run.lines.push_back(line);
  return run;
}

Snapshot snapshot(const std::string& dir) {
  Snapshot s;
  for (const auto& e : fs::directory_iterator(dir))
    s[e.path().filename().string()] = test::readFile(e.path().string());
  return s;
}

std::set<std::string> names(const Snapshot& s) {
  std::set<std::string> out;
  for (const auto& [name, bytes] : s) out.insert(name);
  return out;
}

PdbDatabase pdb(const Snapshot& s, const std::string& file) {
  auto it = s.find(file);
  if (it == s.end()) ADD_FAILURE() << "no " << file;
  auto db = it == s.end() ? std::nullopt : samples::parsePdb(it->second);
  if (!db) {
    ADD_FAILURE() << file << " does not parse";
    return {};
  }
  return *db;
}

Bytes joined(const PdbDatabase& db) {
  Bytes all;
  for (const auto& r : db.records) all.insert(all.end(), r.data.begin(), r.data.end());
  return all;
}

// The info blob and the names of its trailer, read from the end of the loaded part.
struct InfoState {
  Bytes blob;
};

InfoState infoOf(const Snapshot& s) {
  PdbDatabase db = pdb(s, "Sketvia_InfoDB.pdb");
  EXPECT_EQ(db.type, fourCC("iidb"));
  EXPECT_EQ(db.creator, fourCC("LmDx"));
  Bytes blob = joined(db);
  EXPECT_TRUE(db.appInfo && db.appInfo->size() == 6);
  if (db.appInfo && db.appInfo->size() == 6) {
    EXPECT_EQ(loadBe16(db.appInfo->data()), 12);
    EXPECT_EQ(loadBe32(db.appInfo->data() + 2), blob.size());
  }
  return {blob};
}

// The names of a trailer of created names starting at offset.
std::vector<std::string> trailerNames(const Bytes& blob, size_t offset) {
  std::vector<std::string> out;
  auto count = readBe16(blob, offset);
  if (!count) {
    ADD_FAILURE() << "no trailer at " << offset;
    return out;
  }
  size_t at = offset + 2;
  for (uint16_t i = 0; i < *count; ++i) {
    auto n = readU8(blob, at);
    if (!n || blob.size() - at - 1 < *n) {
      ADD_FAILURE() << "trailer cut";
      return out;
    }
    out.emplace_back(reinterpret_cast<const char*>(blob.data() + at + 1), *n);
    at += 1 + *n;
  }
  EXPECT_EQ(at, blob.size());
  return out;
}

std::optional<Picture> bmpOf(const Snapshot& s, const std::string& file) {
  auto it = s.find(file);
  if (it == s.end()) return std::nullopt;
  return readBmp(it->second);
}

class SyncE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::copy(kSamples + "/handheld", handheld());
    fs::copy(kSamples + "/sync", sync());
    fs::create_directories(root_.file("windows"));
    fs::create_directories(root_.file("drive_c"));
    windows_.emplace("LUMORA_WINDOWS_DIR", root_.file("windows"));
    drive_.emplace("LUMORA_DRIVE_C", root_.file("drive_c"));
    setSyncFolder(sync());
    CommandRun reg = runCommand(quote(LUMORA_HOTSYNC_EXE) + " register");
    ASSERT_EQ(reg.status, 0) << ::testing::PrintToString(reg.lines);
    handheldBefore = snapshot(handheld());
    syncBefore = snapshot(sync());
  }

  void setSyncFolder(const std::string& folder) {
    test::writeText(root_.file("windows") + "/Lumdex.ini",
                    "[Lumdex]\r\nSyncDir=" + folder + "\r\n");
  }

  CommandRun sync(int type) {
    CommandRun run =
        runCommand(quote(LUMORA_HOTSYNC_EXE) + " sync --handheld " + quote(handheld()) +
                   " --user Tester --sync-type " + std::to_string(type));
    EXPECT_EQ(run.status, 0) << ::testing::PrintToString(run.lines);
    return run;
  }

  std::string handheld() const { return root_.file("handheld"); }
  std::string sync() const { return root_.file("sync"); }
  std::string folder(const std::string& name) const { return root_.file(name); }

  // Checks a picture database the conduit created from a desktop file.
  void expectCreatedFrom(const Snapshot& s, const std::string& stem, const Picture& source) {
    SCOPED_TRACE(stem);
    PdbDatabase db = pdb(s, pdbFileName(stem));
    EXPECT_EQ(db.name, stem);
    EXPECT_EQ(db.type, fourCC("bpmc"));
    EXPECT_EQ(db.creator, fourCC("LmDx"));
    EXPECT_EQ(db.attributes & 0x0008, 0x0008);
    Bytes data = joined(db);
    ASSERT_TRUE(db.appInfo);
    EXPECT_EQ(*db.appInfo, ([&] {
      Bytes b;
      appendBe16(b, 12);
      appendBe32(b, static_cast<uint32_t>(data.size()));
      return b;
    }()));
    for (size_t i = 0; i + 1 < db.records.size(); ++i) EXPECT_EQ(db.records[i].data.size(), 4096u);
    ASSERT_GE(data.size(), 32u);
    EXPECT_EQ(data[1], 2);
    EXPECT_EQ(int{loadBe16(&data[2])}, source.width);
    EXPECT_EQ(int{loadBe16(&data[4])}, source.height);
  }

  Snapshot handheldBefore, syncBefore;

 private:
  test::TempDir root_;
  std::optional<test::ScopedEnv> windows_, drive_;
};

// Every .pdb file named is read by Palm::PDB exactly as the project's reader reads it.
void expectPalmPdbReads(const std::string& dir, const std::set<std::string>& files) {
  ASSERT_FALSE(files.empty());
  std::string command = "perl " + quote(LUMORA_SOURCE_DIR "/tests/e2e_pictures/read_pdb.pl");
  std::vector<std::string> expected;
  for (const auto& f : files) {
    command += " " + quote(dir + "/" + f);
    auto db = samples::parsePdb(test::readFile(dir + "/" + f));
    ASSERT_TRUE(db) << f;
    auto hex = [](const Bytes& b) {
      static const char* digits = "0123456789abcdef";
      std::string s;
      for (uint8_t v : b) {
        s += digits[v >> 4];
        s += digits[v & 15];
      }
      return s;
    };
    auto code = [](uint32_t v) {
      return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
    };
    std::string line = db->name + "\t" + code(db->type) + "\t" + code(db->creator) + "\t" +
                       ((db->attributes & 8) ? "1" : "0") + "\t" + std::to_string(db->version) +
                       "\t" + (db->appInfo ? hex(*db->appInfo) : "") + "\t";
    for (size_t i = 0; i < db->records.size(); ++i)
      line += (i ? "," : "") + hex(db->records[i].data);
    expected.push_back(line);
  }
  CommandRun run = runCommand(command);
  ASSERT_EQ(run.status, 0) << ::testing::PrintToString(run.lines);
  ASSERT_EQ(run.lines.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(run.lines[i], expected[i]);
}

TEST_F(SyncE2E, SyncFilesMovesPicturesBothWays) {
  CommandRun run = sync(0);
  EXPECT_EQ(run.count(kRead), 2u);
  EXPECT_EQ(run.count(kCreated), 4u);
  EXPECT_EQ(run.count(kSuccess), 1u);

  Snapshot desk = snapshot(sync());
  std::set<std::string> wantDesk = kSampleBmps;
  wantDesk.insert({"Meadow.bmp", "Doodle.bmp"});  // Harbour is marked not to travel
  EXPECT_EQ(names(desk), wantDesk);
  for (const auto& [name, bytes] : syncBefore) EXPECT_EQ(desk[name], bytes) << name;

  auto meadow = bmpOf(desk, "Meadow.bmp");
  ASSERT_TRUE(meadow);
  EXPECT_EQ(meadow->width, 160);
  EXPECT_EQ(meadow->height, 120);
  for (uint32_t c : meadow->pixels) ASSERT_EQ(c & 0x070307, 0u);  // RGB565 comes back so
  auto doodle = bmpOf(desk, "Doodle.bmp");
  ASSERT_TRUE(doodle);
  std::set<uint32_t> colours(doodle->pixels.begin(), doodle->pixels.end());
  EXPECT_EQ(colours, (std::set<uint32_t>{0xFFFFFF, 0xFF0000, 0x0000FF, 0x00FF00}));

  Snapshot hand = snapshot(handheld());
  std::set<std::string> wantHand = names(handheldBefore);
  for (auto stem : {"Greys", "Lighthouse", "Mono Sign", "Tiles"})
    wantHand.insert(pdbFileName(stem));
  EXPECT_EQ(names(hand), wantHand);
  for (const auto& [name, bytes] : handheldBefore) {
    if (name != "Sketvia_InfoDB.pdb") {
      EXPECT_EQ(hand[name], bytes) << name;
    }
  }
  for (const auto& file : kSampleBmps) {
    expectCreatedFrom(hand, file.substr(0, file.size() - 4), *readBmp(syncBefore[file]));
  }

  Bytes oldBlob = joined(pdb(handheldBefore, "Sketvia_InfoDB.pdb"));
  Bytes blob = infoOf(hand).blob;
  ASSERT_GT(blob.size(), oldBlob.size());
  EXPECT_EQ(loadBe32(&blob[2]), loadBe32(&oldBlob[2]) | 4);
  EXPECT_TRUE(std::equal(oldBlob.begin() + 6, oldBlob.end(), blob.begin() + 6));
  auto created = trailerNames(blob, oldBlob.size());
  EXPECT_EQ(std::set<std::string>(created.begin(), created.end()),
            (std::set<std::string>{"Greys", "Lighthouse", "Mono Sign", "Tiles"}));

  std::set<std::string> written;
  for (const auto& [name, bytes] : hand)
    if (!handheldBefore.count(name) || handheldBefore[name] != bytes) written.insert(name);
  EXPECT_EQ(written.size(), 5u);
  expectPalmPdbReads(handheld(), written);
}

TEST_F(SyncE2E, SecondSyncFilesMovesNothing) {
  sync(0);
  Snapshot desk = snapshot(sync());
  Snapshot hand = snapshot(handheld());
  CommandRun again = sync(0);
  EXPECT_EQ(again.count(kRead), 0u);
  EXPECT_EQ(again.count(kCreated), 0u);
  EXPECT_EQ(again.count(kSuccess), 1u);
  EXPECT_EQ(snapshot(sync()), desk);
  Snapshot hand2 = snapshot(handheld());
  EXPECT_EQ(names(hand2), names(hand));
  for (const auto& [name, bytes] : hand) {
    if (name != "Sketvia_InfoDB.pdb") {
      EXPECT_EQ(hand2[name], bytes) << name;
    }
  }
  // The info database gets an empty list of created names appended.
  Bytes before = infoOf(hand).blob;
  Bytes after = infoOf(hand2).blob;
  EXPECT_TRUE(trailerNames(after, before.size()).empty());
}

TEST_F(SyncE2E, HandheldOverwritesDesktop) {
  test::writeText(sync() + "/Meadow.bmp", "stale");
  CommandRun run = sync(2);
  // Meadow is met by the second phase of the 'bpmf' call and again by the 'bpmc' call.
  EXPECT_EQ(run.count(kRead), 3u);
  EXPECT_EQ(run.count(kCreated), 0u);
  EXPECT_EQ(run.count(kSuccess), 1u);
  Snapshot desk = snapshot(sync());
  std::set<std::string> want = kSampleBmps;
  want.insert({"Meadow.bmp", "Doodle.bmp"});
  EXPECT_EQ(names(desk), want);
  EXPECT_TRUE(bmpOf(desk, "Meadow.bmp"));
  for (const auto& file : kSampleBmps) EXPECT_EQ(desk[file], syncBefore[file]) << file;

  Snapshot hand = snapshot(handheld());
  EXPECT_EQ(names(hand), names(handheldBefore));
  for (const auto& [name, bytes] : handheldBefore) {
    if (name != "Sketvia_InfoDB.pdb") {
      EXPECT_EQ(hand[name], bytes) << name;
    }
  }
  Bytes oldBlob = joined(pdb(handheldBefore, "Sketvia_InfoDB.pdb"));
  EXPECT_TRUE(trailerNames(infoOf(hand).blob, oldBlob.size()).empty());
}

TEST_F(SyncE2E, DesktopOverwritesHandheld) {
  fs::copy_file(sync() + "/Lighthouse.bmp", sync() + "/Meadow.bmp");
  Snapshot deskBefore = snapshot(sync());
  CommandRun run = sync(3);
  EXPECT_EQ(run.count(kRead), 0u);
  EXPECT_EQ(run.count(kCreated), 5u);
  EXPECT_EQ(run.count(kSuccess), 1u);
  EXPECT_EQ(snapshot(sync()), deskBefore);

  Snapshot hand = snapshot(handheld());
  auto lighthouse = readBmp(deskBefore["Lighthouse.bmp"]);
  ASSERT_TRUE(lighthouse);
  expectCreatedFrom(hand, "Meadow", *lighthouse);
  for (auto name : {"Harbour.pdb", "Doodle.pdb", "LumdexFormatDb.pdb"})
    EXPECT_EQ(hand[name], handheldBefore[name]) << name;
  std::set<std::string> written;
  for (const auto& [name, bytes] : hand)
    if (!handheldBefore.count(name) || handheldBefore[name] != bytes) written.insert(name);
  EXPECT_EQ(written, (std::set<std::string>{"Greys.pdb", "Lighthouse.pdb", "Meadow.pdb",
                                            "Mono Sign.pdb", "Sketvia_InfoDB.pdb", "Tiles.pdb"}));
  expectPalmPdbReads(handheld(), written);
}

// A desktop picture the handheld cannot take leaves the handheld's picture of that name as
// it was.
TEST_F(SyncE2E, DesktopOverwritesHandheldKeepsPictureItCannotReplace) {
  Picture big{900, 700, std::vector<uint32_t>(900 * 700, 0x336699)};
  test::writeFile(sync() + "/Meadow.bmp", writeBmp(big, 24, {}));
  CommandRun run = sync(3);
  EXPECT_EQ(run.count(kCreated), 4u);
  EXPECT_EQ(run.count(kSuccess), 1u);
  size_t refused = 0;
  for (const auto& line : run.lines)
    if (line.starts_with("[-1] Lumora: Cannot download Meadow.bmp file to handheld")) ++refused;
  EXPECT_EQ(refused, 1u);
  Snapshot hand = snapshot(handheld());
  EXPECT_EQ(hand["Meadow.pdb"], handheldBefore["Meadow.pdb"]);
  Bytes oldBlob = joined(pdb(handheldBefore, "Sketvia_InfoDB.pdb"));
  auto created = trailerNames(infoOf(hand).blob, oldBlob.size());
  EXPECT_EQ(std::set<std::string>(created.begin(), created.end()),
            (std::set<std::string>{"Greys", "Lighthouse", "Meadow", "Mono Sign", "Tiles"}));
}

TEST_F(SyncE2E, MissingSyncFolderIsNoSuccess) {
  const std::string kMissing =
      "[22] Not existing desktop synchronization directory. The synchronization of Lumora "
      "failed.";
  setSyncFolder(folder("absent"));
  for (int type : {0, 2, 3}) {
    SCOPED_TRACE(type);
    CommandRun run = sync(type);
    EXPECT_EQ(run.count(kMissing), type == 3 ? 1u : type == 0 ? 5u : 4u);
    EXPECT_EQ(run.count(kSuccess), 0u);
  }
  EXPECT_FALSE(fs::exists(folder("absent")));
}

TEST_F(SyncE2E, DoNothingChangesNothing) {
  CommandRun run = sync(6);
  EXPECT_EQ(run.count("[-1] LmDx configured to do nothing."), 1u);
  EXPECT_EQ(run.count(kSuccess), 0u);
  EXPECT_EQ(snapshot(handheld()), handheldBefore);
  EXPECT_EQ(snapshot(sync()), syncBefore);
}

TEST_F(SyncE2E, PicturesRoundTripWithTheColoursTheFormatAllows) {
  sync(3);
  fs::create_directories(folder("back"));
  setSyncFolder(folder("back"));
  sync(2);
  Snapshot back = snapshot(folder("back"));
  for (const auto& file : kSampleBmps) {
    SCOPED_TRACE(file);
    auto source = readBmp(syncBefore[file]);
    auto result = bmpOf(back, file);
    ASSERT_TRUE(source);
    ASSERT_TRUE(result);
    ASSERT_EQ(result->width, source->width);
    ASSERT_EQ(result->height, source->height);
    // Direct colour travels as RGB565; palette pictures as system palette entries.
    bool direct = file == "Lighthouse.bmp";
    size_t wrong = 0;
    for (size_t i = 0; i < source->pixels.size(); ++i) {
      uint32_t want = direct ? viaRgb565(source->pixels[i]) : viaSystemPalette(source->pixels[i]);
      if (result->pixels[i] != want && wrong++ == 0) {
        ADD_FAILURE() << "first difference at pixel " << i << ": " << std::hex << result->pixels[i]
                      << " for " << source->pixels[i] << ", expected " << want;
      }
    }
    EXPECT_EQ(wrong, 0u);
  }
}

// Two loads of the conduit in one process: the second reads what the first wrote back.
TEST_F(SyncE2E, SecondLibraryLoadSeesTheNamesOfTheFirst) {
  ASSERT_EQ(HsConnect(handheld().c_str(), "Tester"), 0);
  using OpenConduitFn = int32_t (*)(void*, void*);
  auto hotsync = [](uint32_t type) {
    void* lib = dlopen(LUMORA_LUMSYNC_LIB, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << dlerror();
    auto open = reinterpret_cast<OpenConduitFn>(dlsym(lib, "OpenConduit"));
    ASSERT_NE(open, nullptr);
    uint8_t properties[16] = {static_cast<uint8_t>(type)};
    open(nullptr, properties);
    ASSERT_EQ(dlclose(lib), 0);
  };
  auto blobNow = []() {
    SyncSearchName search{SYNC_SEARCH_OPTIONS, 0, "Sketvia_InfoDB"};
    SyncDbInfo info{};
    EXPECT_EQ(SyncFindDbByName(&search, &info), 0);
    uint8_t h = 0;
    EXPECT_EQ(SyncOpenDB("Sketvia_InfoDB", 0, &h, 0x90), 0);
    Bytes blob;
    for (uint16_t i = 0;; ++i) {
      Bytes r(4096);
      SyncRawRecordInfo rec{};
      rec.handle = h;
      rec.recordIndex = i;
      rec.bufferCapacity = 4096;
      rec.bytes = r.data();
      if (SyncReadRecordByIndex(&rec) != 0) break;
      blob.insert(blob.end(), r.begin(), r.begin() + std::min<uint32_t>(rec.recordSize, 4096));
    }
    SyncCloseDB(h);
    return blob;
  };
  Bytes original = blobNow();
  hotsync(3);
  Bytes first = blobNow();
  auto firstNames = trailerNames(first, original.size());
  EXPECT_EQ(firstNames.size(), 4u);
  fs::copy_file(sync() + "/Greys.bmp", sync() + "/Greys Again.bmp");
  hotsync(0);
  Bytes second = blobNow();
  ASSERT_GT(second.size(), first.size());
  EXPECT_TRUE(std::equal(first.begin() + 6, first.end(), second.begin() + 6));
  EXPECT_EQ(trailerNames(second, first.size()), (std::vector<std::string>{"Greys Again"}));
  HsDisconnect();
}

// Photo files beside the .bmp files, made with ImageMagick's convert from a generated
// picture.
class PhotoE2E : public SyncE2E {
 protected:
  void SetUp() override {
    if (std::system("command -v convert >/dev/null 2>&1") != 0) GTEST_SKIP() << "no convert";
    SyncE2E::SetUp();
  }
  // The sample handheld and sync folder afresh, for the next case of a table.
  void reset() {
    fs::remove_all(handheld());
    fs::remove_all(sync());
    fs::copy(kSamples + "/handheld", handheld());
    fs::copy(kSamples + "/sync", sync());
    handheldBefore = snapshot(handheld());
    syncBefore = snapshot(sync());
  }
  void settings(const std::string& keys) {
    test::writeText(folder("windows") + "/Lumdex.ini",
                    "[Lumdex]\r\nSyncDir=" + sync() + "\r\n" + keys);
  }
  void photo(const std::string& file, int32_t w, int32_t h) {
    Picture p{w, h, {}};
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x)
        p.pixels.push_back(uint32_t((x * 255 / w) | ((y * 255 / h) << 8) | (0x60 << 16)));
    const std::string source = folder("source.bmp");
    test::writeFile(source, writeBmp(p, 24, {}));
    CommandRun run = runCommand("convert " + quote(source) + " " + quote(sync() + "/" + file));
    ASSERT_EQ(run.status, 0) << ::testing::PrintToString(run.lines);
  }
  // Width and height of the bitmap in a picture database.
  std::pair<int, int> sizeOf(const Snapshot& s, const std::string& stem) {
    Bytes data = joined(pdb(s, pdbFileName(stem)));
    if (data.size() < 32) return {0, 0};
    return {loadBe16(&data[2]), loadBe16(&data[4])};
  }
  size_t linesStarting(const CommandRun& run, const std::string& start) {
    return size_t(std::count_if(run.lines.begin(), run.lines.end(),
                                [&](const std::string& l) { return l.starts_with(start); }));
  }
  void mixedFolder() {
    photo("Beach.jpg", 1200, 900);
    photo("Shot.png", 100, 80);
    photo("Phone.heic", 90, 120);
    photo("Tiles.jpg", 50, 50);
    photo("Sea.jpg", 60, 40);
    photo("Sea.png", 40, 60);
    syncBefore = snapshot(sync());
  }
};

const std::string kLeftTiles =
    "[-1] Lumora: file Tiles.jpg was not copied to the handheld: Tiles.bmp of the same name "
    "goes instead.";
const std::string kLeftSea =
    "[-1] Lumora: file Sea.png was not copied to the handheld: Sea.jpg of the same name goes "
    "instead.";

TEST_F(PhotoE2E, PhotosGoToTheHandheldNamedLikeBmpFilesOnlyWhenOn) {
  const struct {
    int type;
    const char* keys;
    bool photos;
  } cases[] = {{0, "Photos=1\r\nFitToDevice=1\r\n", true},
               {3, "Photos=1\r\nFitToDevice=1\r\n", true},
               {0, "", false},
               {3, "Photos=0\r\nFitToDevice=0\r\nDither=0\r\n", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.type) + " " + c.keys);
    reset();
    mixedFolder();
    settings(c.keys);
    CommandRun run = sync(c.type);
    EXPECT_EQ(run.count(kCreated), c.photos ? 8u : 4u) << ::testing::PrintToString(run.lines);
    EXPECT_EQ(run.count(kLeftTiles), c.photos ? 1u : 0u);
    EXPECT_EQ(run.count(kLeftSea), c.photos ? 1u : 0u);
    Snapshot hand = snapshot(handheld());
    expectCreatedFrom(hand, "Tiles", *readBmp(syncBefore["Tiles.bmp"]));
    Snapshot desk = snapshot(sync());
    for (const auto& [name, bytes] : syncBefore) EXPECT_EQ(desk[name], bytes) << name;
    for (auto stem : {"Beach", "Shot", "Phone", "Sea"}) {
      EXPECT_EQ(desk.count(std::string(stem) + ".bmp"), 0u) << stem;
      EXPECT_EQ(hand.count(pdbFileName(stem)), c.photos ? 1u : 0u) << stem;
    }
    if (!c.photos) continue;
    EXPECT_EQ(sizeOf(hand, "Beach"), std::make_pair(320, 240));
    EXPECT_EQ(sizeOf(hand, "Shot"), std::make_pair(100, 80));
    EXPECT_EQ(sizeOf(hand, "Phone"), std::make_pair(90, 120));
    EXPECT_EQ(sizeOf(hand, "Sea"), std::make_pair(60, 40));
  }
}

// A handheld picture named like a desktop photo is that photo: no sync type brings it back
// as a second file or puts the handheld's smaller copy in place of the original.
TEST_F(PhotoE2E, AHandheldPictureNamedLikeAPhotoCountsAsPresent) {
  photo("Meadow.jpg", 1600, 1200);
  photo("Doodle.png", 64, 64);
  settings("Photos=1\r\nFitToDevice=1\r\n");
  const Bytes meadow = test::readFile(sync() + "/Meadow.jpg");
  const Bytes doodle = test::readFile(sync() + "/Doodle.png");
  const struct {
    int type;
    size_t created;
    size_t kept;  // "desktop keeps its photo" lines: as often as type 2 meets the pictures
  } cases[] = {{0, 4, 0}, {2, 0, 3}, {0, 0, 0}, {6, 0, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.type);
    CommandRun run = sync(c.type);
    EXPECT_EQ(run.count(kCreated), c.created) << ::testing::PrintToString(run.lines);
    size_t kept = 0;
    for (std::string stem : {"Meadow", "Doodle"})
      kept += linesStarting(run, "[-1] Lumora: handheld database \"" + stem +
                                     "\" was not copied: the desktop keeps its photo");
    EXPECT_EQ(kept, c.kept);
    Snapshot desk = snapshot(sync());
    EXPECT_EQ(desk.count("Meadow.bmp") + desk.count("Doodle.bmp"), 0u);
    EXPECT_EQ(desk["Meadow.jpg"], meadow);
    EXPECT_EQ(desk["Doodle.png"], doodle);
    EXPECT_EQ(snapshot(handheld())["Meadow.pdb"], handheldBefore["Meadow.pdb"]);
  }
  // Type 3 puts the desktop's photo in the handheld's place.
  sync(3);
  Snapshot hand = snapshot(handheld());
  EXPECT_EQ(sizeOf(hand, "Meadow"), std::make_pair(320, 240));
  EXPECT_EQ(sizeOf(hand, "Doodle"), std::make_pair(64, 64));
  // Without Photos the handheld's picture comes to the desktop as today.
  settings("");
  sync(0);
  EXPECT_EQ(snapshot(sync()).count("Meadow.bmp"), 1u);
}

TEST_F(PhotoE2E, FitScalesAPictureTheHandheldWouldRefuseAndLeavesOthersAlone) {
  Picture big{900, 700, std::vector<uint32_t>(900 * 700, 0x336699)};
  test::writeFile(sync() + "/Big.bmp", writeBmp(big, 24, {}));
  photo("Huge.jpg", 2000, 1500);
  settings("Photos=1\r\nFitToDevice=1\r\n");
  CommandRun run = sync(0);
  EXPECT_EQ(linesStarting(run, "[-1] Lumora: Cannot download"), 0u);
  Snapshot hand = snapshot(handheld());
  EXPECT_EQ(sizeOf(hand, "Big"), std::make_pair(320, 249));
  EXPECT_EQ(sizeOf(hand, "Huge"), std::make_pair(320, 240));
  expectCreatedFrom(hand, "Lighthouse", *readBmp(syncBefore["Lighthouse.bmp"]));
}

TEST_F(PhotoE2E, ABrokenPhotoIsOneRefusalLineNamingIt) {
  photo("Whole.jpg", 200, 150);
  Bytes whole = test::readFile(sync() + "/Whole.jpg");
  const struct {
    const char* file;
    Bytes bytes;
  } cases[] = {
      {"Cut.jpg", Bytes(whole.begin(), whole.begin() + long(whole.size() / 3))},
      {"Header.png", Bytes{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13}},
      {"Text.heic", Bytes{'n', 'o', 't', ' ', 'a', ' ', 'p', 'h', 'o', 't', 'o'}},
  };
  for (const auto& c : cases) test::writeFile(sync() + "/" + c.file, c.bytes);
  settings("Photos=1\r\n");
  CommandRun run = sync(0);
  for (const auto& c : cases)
    EXPECT_EQ(linesStarting(
                  run, std::string("[-1] Lumora: Cannot download ") + c.file + " file to handheld"),
              1u)
        << c.file;
  EXPECT_EQ(sizeOf(snapshot(handheld()), "Whole"), std::make_pair(200, 150));
  EXPECT_EQ(run.count(kSuccess), 1u);
}

}  // namespace
}  // namespace lumora::samples
