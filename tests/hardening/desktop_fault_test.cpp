// Desktop-side faults while pictures come from the handheld: a sync folder that refuses
// new files, and a full disk (a write that fails part-way). No picture is half-written,
// the old files stay, and the log says what failed.
#include <gtest/gtest.h>

#include <memory>

#include "platform/files/files.h"
#include "tests/hardening/sync_scene.h"

namespace lumora::hardening {
namespace {

enum class DiskFault { refuseCreate, failHalfway };

class OutputFailingHalfway : public files::OutputFile {
 public:
  explicit OutputFailingHalfway(std::unique_ptr<files::OutputFile> inner)
      : inner_(std::move(inner)) {}
  bool write(const uint8_t* bytes, size_t count) override {
    // Half of the first write reaches the disk, then it is full.
    if (!full_) inner_->write(bytes, count / 2);
    full_ = true;
    return false;
  }
  bool commit() override { return inner_->commit(); }

 private:
  std::unique_ptr<files::OutputFile> inner_;
  bool full_ = false;
};

// The host's file system, with writes into the sync folder failing.
class FaultyFiles : public files::FileSystem {
 public:
  explicit FaultyFiles(DiskFault fault) : fault_(fault), host_(files::hostFileSystem()) {}
  std::vector<std::string> find(std::string_view p) override { return host_.find(p); }
  bool existsForRead(std::string_view p) override { return host_.existsForRead(p); }
  std::unique_ptr<files::InputFile> openInput(std::string_view p, files::Share s) override {
    return host_.openInput(p, s);
  }
  std::unique_ptr<files::OutputFile> createOutput(std::string_view p, bool replace) override {
    ++outputs;
    if (fault_ == DiskFault::refuseCreate) return nullptr;
    auto inner = host_.createOutput(p, replace);
    if (!inner) return nullptr;
    return std::make_unique<OutputFailingHalfway>(std::move(inner));
  }
  bool remove(std::string_view p) override { return host_.remove(p); }
  bool makeFolders(std::string_view p) override { return host_.makeFolders(p); }
  std::string tempFolder() override { return host_.tempFolder(); }
  int outputs = 0;

 private:
  DiskFault fault_;
  files::FileSystem& host_;
};

struct DiskCase {
  uint32_t syncType;
  DiskFault fault;
};

class DesktopFault : public ::testing::TestWithParam<DiskCase> {};

TEST_P(DesktopFault, NoPictureHalfWrittenAndFailureLogged) {
  const auto [type, fault] = GetParam();
  Snapshot deskBefore, handBefore, deskClean, handClean;
  ConduitRun clean;
  {
    Scene scene;
    deskBefore = snapshot(scene.sync());
    handBefore = snapshot(scene.handheld());
    clean = scene.run(type);
    deskClean = snapshot(scene.sync());
    handClean = snapshot(scene.handheld());
  }
  Scene scene;
  FaultyFiles faulty(fault);
  files::FileSystem* previous = files::setFileSystem(&faulty);
  ConduitRun run = scene.run(type);
  files::setFileSystem(previous);

  EXPECT_GT(faulty.outputs, 0);
  EXPECT_EQ(run.result, 0);
  EXPECT_FALSE(run.escaped);
  Snapshot deskAfter = snapshot(scene.sync());
  EXPECT_EQ(deskAfter, deskBefore);
  for (const auto& p :
       damage(deskBefore, deskClean, deskAfter, handBefore, handClean, snapshot(scene.handheld())))
    ADD_FAILURE() << p;
  EXPECT_NE(run.log, clean.log);
}

INSTANTIATE_TEST_SUITE_P(
    SampleHandheld, DesktopFault,
    ::testing::Values(DiskCase{0, DiskFault::refuseCreate}, DiskCase{0, DiskFault::failHalfway},
                      DiskCase{2, DiskFault::refuseCreate}, DiskCase{2, DiskFault::failHalfway}),
    [](const auto& info) {
      return "Type" + std::to_string(info.param.syncType) +
             (info.param.fault == DiskFault::refuseCreate ? "Unwritable" : "DiskFull");
    });

}  // namespace
}  // namespace lumora::hardening
