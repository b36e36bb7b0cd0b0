// Hostile inputs on both sides: database names that look like paths or hold control
// bytes, symlinks pointing out of the sync folder and the handheld directory, pictures
// announcing gigabytes, an info blob announcing 65535 entries. The conduit refuses or
// copes, writes nothing outside its two folders and allocates nothing absurd.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <filesystem>
#include "hotsync/format/pdb_file.h"
#include "samples/sample_files.h"
#include "tests/hardening/sync_scene.h"

namespace lumora::hardening {
namespace {
namespace fs = std::filesystem;

bool logged(const ConduitRun& run, const std::string& part) {
  for (const auto& e : run.log)
    if (e.text.find(part) != std::string::npos) return true;
  return false;
}

TEST(HostileInput, DatabaseNamesStayInsideTheSyncFolder) {
  const std::string names[] = {
      "../Escaped",         "a/b",       "..", "/abs", "ctl\x01\x1f\x7f", "back\\slash",
      std::string(31, 'L'), "trailing. "};
  for (const auto& name : names) {
    SCOPED_TRACE(name);
    Scene scene;
    putPicture(scene, name);
    auto outside = outsideFiles(scene);
    ConduitRun run = scene.run(2);
    EXPECT_EQ(run.result, 0);
    EXPECT_FALSE(run.escaped);
    EXPECT_EQ(outsideFiles(scene), outside);
    for (const auto& e : fs::directory_iterator(scene.sync()))
      EXPECT_TRUE(e.is_regular_file()) << e.path();
  }
}

TEST(HostileInput, SymlinksOutOfTheFoldersAreNotWrittenThrough) {
  Scene scene;
  fs::create_directories(scene.root() + "/outside");
  test::writeText(scene.root() + "/outside/victim.bmp", "precious");
  test::writeText(scene.root() + "/outside/victim.pdb", "precious");
  fs::remove(scene.sync() + "/Meadow.bmp");
  fs::create_symlink(scene.root() + "/outside/victim.bmp", scene.sync() + "/Meadow.bmp");
  fs::create_symlink(scene.root() + "/outside/victim.pdb", scene.handheld() + "/Greys.pdb");
  fs::create_symlink(scene.root() + "/outside", scene.sync() + "/Doodle.bmp");
  for (uint32_t type : {2u, 3u, 0u}) {
    SCOPED_TRACE(type);
    ConduitRun run = scene.run(type);
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(test::readText(scene.root() + "/outside/victim.bmp"), "precious");
    EXPECT_EQ(test::readText(scene.root() + "/outside/victim.pdb"), "precious");
    EXPECT_EQ(
        std::distance(fs::directory_iterator(scene.root() + "/outside"), fs::directory_iterator()),
        2);
  }
}

long maxRssKb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

TEST(HostileInput, PicturesAnnouncingGigabytesAreRefusedCheaply) {
  Scene scene;
  // 65535 x 65535 at 24 bits announced by a file of a few bytes.
  samples::Picture tiny{2, 2, {0, 0, 0, 0}};
  Bytes huge = samples::writeBmp(tiny, 24, {});
  storeLe32(huge.data() + 18, 65535);
  storeLe32(huge.data() + 22, 65535);
  test::writeFile(scene.sync() + "/Huge.bmp", huge);
  // A 2 GB sparse file with the header of a 16000 x 16000 picture.
  samples::Picture big{16000, 1, std::vector<uint32_t>(16000, 0)};
  Bytes header = samples::writeBmp(big, 24, {});
  storeLe32(header.data() + 22, 16000);
  test::writeFile(scene.sync() + "/Sparse.bmp", header);
  fs::resize_file(scene.sync() + "/Sparse.bmp", uint64_t{2} << 30);

  long before = maxRssKb();
  ConduitRun run = scene.run(3);
  EXPECT_EQ(run.result, 0);
  EXPECT_LT(maxRssKb() - before, 200 * 1024) << "kB of peak memory grew";
  EXPECT_TRUE(logged(run, "Huge.bmp"));
  EXPECT_TRUE(logged(run, "Sparse.bmp"));
  EXPECT_TRUE(logged(run, "sync operation completed successfully"));
  EXPECT_FALSE(fs::exists(scene.handheld() + "/Huge.pdb"));
  EXPECT_FALSE(fs::exists(scene.handheld() + "/Sparse.pdb"));
  EXPECT_TRUE(fs::exists(scene.handheld() + "/Tiles.pdb"));
}

TEST(HostileInput, InfoBlobAnnouncingEveryEntryIsReadAsFarAsItGoes) {
  for (uint32_t type : {0u, 2u, 3u}) {
    SCOPED_TRACE(type);
    Scene scene;
    const std::string file = scene.handheld() + "/Sketvia_InfoDB.pdb";
    auto db = hotsync::parsePdb(test::readFile(file)).database;
    ASSERT_TRUE(db);
    ASSERT_FALSE(db->records.empty());
    ASSERT_GE(db->records[0].data.size(), 8u);
    storeBe16(db->records[0].data.data() + 6, 65535);
    test::writeFile(file, samples::serializePdb(*db));
    ConduitRun run = scene.run(type);
    EXPECT_EQ(run.result, 0);
    EXPECT_FALSE(run.escaped);
    EXPECT_TRUE(logged(run, "sync operation completed successfully"));
    EXPECT_TRUE(hotsync::parsePdb(test::readFile(file)).database);
  }
}

}  // namespace
}  // namespace lumora::hardening
