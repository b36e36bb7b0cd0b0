// A hostile picture on the handheld, synced by the real host in a process of its own
// with the address space of a 32-bit Windows process: a 2 MB database whose coded 1-bit
// bitmap announces 32767 x 32767 pixels (134 MB of rows, 3.2 GB of .bmp). The conduit
// refuses it with its failed-picture line, writes no file for it, and goes on with the
// next picture of the same sync.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <iterator>
#include <sstream>

#include "hotsync/format/pdb_file.h"
#include "samples/sample_files.h"
#include "tests/hardening/sync_scene.h"
#include "tests/support/temp_dir.h"

#if defined(__SANITIZE_ADDRESS__)
#define LUMORA_UNDER_ASAN 1  // its shadow memory needs more address space than any limit
#endif

namespace lumora::hardening {
namespace {
namespace fs = std::filesystem;

constexpr rlim_t kAddressSpace = rlim_t{2} << 30;
constexpr long kMaxPeakKb = 200 * 1024;

// The coded bitmap: packets repeating 0xFF 127 times until 4096 x 32767 bytes of rows.
Bytes hostileBitmap() {
  constexpr uint32_t side = 32767, rawSize = 4096 * side;
  Bytes b(32, 0);
  b[0] = 32;
  b[1] = 2;
  storeBe16(&b[2], side);
  storeBe16(&b[4], side);
  b[6] = 1;
  storeBe16(&b[10], 1);
  storeBe32(&b[12], rawSize);
  b[20] = 0x57;
  b[21] = 0xAB;
  for (uint32_t left = rawSize; left > 0; left -= std::min(left, 127u)) {
    b.push_back(static_cast<uint8_t>(std::min(left, 127u)));
    b.push_back(0xFF);
  }
  return b;
}

// A picture database "Hostile" holding it, in the records and app-info block of the
// sample picture Meadow, which comes after it in the handheld's name order.
void putHostileDatabase(const Scene& scene) {
  auto db = hotsync::parsePdb(test::readFile(scene.handheld() + "/Meadow.pdb")).database;
  ASSERT_TRUE(db);
  const Bytes data = hostileBitmap();
  db->name = "Hostile";
  db->appInfo = Bytes{};
  appendBe16(*db->appInfo, 12);
  appendBe32(*db->appInfo, static_cast<uint32_t>(data.size()));
  db->records.clear();
  for (size_t at = 0; at < data.size(); at += 4096) {
    hotsync::PdbRecord r;
    r.uniqueId = static_cast<uint32_t>(at / 4096 + 1);
    r.data.assign(data.begin() + std::ptrdiff_t(at),
                  data.begin() + std::ptrdiff_t(std::min(data.size(), at + 4096)));
    db->records.push_back(std::move(r));
  }
  test::writeFile(scene.handheld() + "/Hostile.pdb", samples::serializePdb(*db));
}

struct ProcessRun {
  int status = -1;  // exit status, or -1 when it did not exit normally
  long peakKb = 0;
  double seconds = 0;
  std::vector<std::string> lines;
};

// Runs args in a child process limited to addressSpace bytes (0: no limit), its output
// gathered in outputFile.
ProcessRun runLimited(const std::vector<std::string>& args, rlim_t addressSpace,
                      const std::string& outputFile) {
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  ProcessRun run;
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    int fd = open(outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0 || dup2(fd, 1) < 0 || dup2(fd, 2) < 0) _exit(127);
    const rlimit limit{addressSpace, addressSpace};
    if (addressSpace != 0 && setrlimit(RLIMIT_AS, &limit) != 0) _exit(127);
    execv(argv[0], argv.data());
    _exit(127);
  }
  if (pid < 0) return run;
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid) return run;
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.peakKb = usage.ru_maxrss;
  std::istringstream in(test::readText(outputFile));
  for (std::string line; std::getline(in, line);) run.lines.push_back(line);
  return run;
}

TEST(HostilePicture, HugeCodedBitmapIsRefusedAndTheNextPictureMoves) {
  for (int type : {0, 2}) {
    SCOPED_TRACE("sync type " + std::to_string(type));
    Scene scene;
    fs::remove(scene.sync() + "/Meadow.bmp");
    putHostileDatabase(scene);
    const std::string exe = LUMORA_HOTSYNC_EXE;
    ASSERT_EQ(runLimited({exe, "register"}, 0, scene.root() + "/register.txt").status, 0);
#ifdef LUMORA_UNDER_ASAN
    const rlim_t limit = 0;
#else
    const rlim_t limit = kAddressSpace;
#endif
    ProcessRun run = runLimited({exe, "sync", "--handheld", scene.handheld(), "--user", "Tester",
                                 "--sync-type", std::to_string(type)},
                                limit, scene.root() + "/sync.txt");
    std::printf("sync type %d: peak %ld kB, %.3f s\n", type, run.peakKb, run.seconds);
    EXPECT_EQ(run.status, 0) << ::testing::PrintToString(run.lines);
    // The dispatch meets every 'bpmc' database twice (in the second phase of the 'bpmf'
    // call and in the 'bpmc' call); each meeting refuses it with the same one line.
    const std::string refusal =
        "[-1] Lumora: failed to write the picture of handheld database \"Hostile\" to the "
        "desktop.";
    std::vector<std::string> naming;
    std::copy_if(run.lines.begin(), run.lines.end(), std::back_inserter(naming),
                 [](const std::string& l) { return l.find("Hostile") != std::string::npos; });
    EXPECT_EQ(naming, std::vector<std::string>(2, refusal)) << ::testing::PrintToString(run.lines);
    EXPECT_FALSE(fs::exists(scene.sync() + "/Hostile.bmp"));
    for (const auto& e : fs::directory_iterator(scene.sync()))
      EXPECT_NE(e.path().filename().string()[0], '.') << "temporary file left: " << e.path();
    auto meadow = samples::readBmp(test::readFile(scene.sync() + "/Meadow.bmp"));
    ASSERT_TRUE(meadow) << "the picture after the hostile one did not move";
    EXPECT_EQ(meadow->width, 160);
#ifndef LUMORA_UNDER_ASAN
    EXPECT_LT(run.peakKb, kMaxPeakKb);
#endif
  }
}

#ifdef LUMORA_BITMAP_EXE
// A HEIF grid of 16 x 16 pixels whose one tile codes 8192 x 8192: the HEIF library would
// take 400 MB for it. Refused from its boxes, before the library is even loaded.
TEST(HostilePicture, HeifTileFarLargerThanItsImageIsRefusedInLittleMemory) {
  test::TempDir dir;
  const std::string hostile = std::string(LUMORA_SOURCE_DIR) +
                              "/fuzz/photos/corpus_heif/grid-tiles-coding-8192-for-16x16.heic";
  ProcessRun run = runLimited({LUMORA_BITMAP_EXE, "encode", hostile, dir.file("out.pdb")}, 0,
                              dir.file("encode.txt"));
  std::printf("hostile HEIF: peak %ld kB, %.3f s\n", run.peakKb, run.seconds);
  EXPECT_EQ(run.status, 1);
  ASSERT_EQ(run.lines.size(), 1u);
  EXPECT_NE(run.lines[0].find("hold 67108864 pixels or more for an image of 16 x 16"),
            std::string::npos)
      << run.lines[0];
  EXPECT_FALSE(fs::exists(dir.file("out.pdb")));
#ifndef LUMORA_UNDER_ASAN
  EXPECT_LT(run.peakKb, 64 * 1024);
#endif
}
#endif

}  // namespace
}  // namespace lumora::hardening
