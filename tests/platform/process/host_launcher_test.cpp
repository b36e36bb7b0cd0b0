#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/process/process.h"
#include "tests/support/temp_dir.h"

namespace lumora::process {
namespace {

using Clock = std::chrono::steady_clock;

bool appears(const std::string& path, std::chrono::milliseconds within) {
  const auto end = Clock::now() + within;
  while (Clock::now() < end) {
    if (std::filesystem::exists(path)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return std::filesystem::exists(path);
}

TEST(HostLauncher, WaitsForTheProgramToEnd) {
  test::TempDir dir;
  const std::string mark = dir.file("done");
  auto p = hostLauncher().create("sh -c \"sleep 0.3; touch '" + mark + "'\"");
  ASSERT_TRUE(p);
  EXPECT_TRUE(p->closeThreadHandle());
  EXPECT_TRUE(p->waitForExit());
  EXPECT_TRUE(std::filesystem::exists(mark));
}

TEST(HostLauncher, ClosingUnwaitedLeavesTheProgramRunning) {
  test::TempDir dir;
  const std::string mark = dir.file("later");
  const auto start = Clock::now();
  {
    auto p = hostLauncher().create("sh -c \"sleep 0.4; touch '" + mark + "'\"");
    ASSERT_TRUE(p);
  }
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(350));
  EXPECT_FALSE(std::filesystem::exists(mark));
  EXPECT_TRUE(appears(mark, std::chrono::seconds(5)));
}

TEST(HostLauncher, ANonZeroExitIsStillAnEnd) {
  auto p = hostLauncher().create("sh -c \"exit 3\"");
  ASSERT_TRUE(p);
  EXPECT_TRUE(p->waitForExit());
}

TEST(HostLauncher, ProgramsThatCannotStart) {
  test::TempDir dir;
  test::writeText(dir.file("not-executable"), "#!/bin/sh\n");
  for (std::string line :
       {std::string("lumora-no-such-program-here"), std::string(""), std::string("   "),
        dir.file("missing"), dir.file("not-executable"), dir.path()})
    EXPECT_FALSE(hostLauncher().create(line)) << line;
}

TEST(HostLauncher, WindowsProgramPathsAreMappedAndArgumentsSplit) {
  test::TempDir dir;
  std::filesystem::create_directories(dir.file("c/Tools"));
  const std::string script = dir.file("c/Tools/echo args");
  test::writeText(script, "#!/bin/sh\nfor a in \"$@\"; do printf '[%s]' \"$a\"; done > \"$OUT\"\n");
  std::filesystem::permissions(script, std::filesystem::perms::owner_all);
  test::ScopedEnv drive("LUMORA_DRIVE_C", dir.file("c"));
  test::ScopedEnv out("OUT", dir.file("out"));
  auto p = hostLauncher().create("\"C:\\Tools\\echo args\" one \"two words\" a\\\"q");
  ASSERT_TRUE(p);
  ASSERT_TRUE(p->waitForExit());
  EXPECT_EQ(test::readText(dir.file("out")), "[one][two words][a\"q]");
}

TEST(HostLauncher, OnlyTheStandardHandlesAreInherited) {
  test::TempDir dir;
  // Inheritable, and far above what the listing program opens itself.
  const int opened = ::open(dir.file("held").c_str(), O_CREAT | O_WRONLY, 0600);
  ASSERT_GE(opened, 0);
  const int fd = ::dup2(opened, 57);
  ::close(opened);
  ASSERT_EQ(fd, 57);
  auto p = hostLauncher().create("sh -c \"ls /proc/self/fd > '" + dir.file("fds") + "'\"");
  ASSERT_TRUE(p);
  ASSERT_TRUE(p->waitForExit());
  ::close(fd);
  const std::string listed = test::readText(dir.file("fds"));
  EXPECT_EQ(listed.find("\n" + std::to_string(fd) + "\n"), std::string::npos) << listed;
}

}  // namespace
}  // namespace lumora::process
