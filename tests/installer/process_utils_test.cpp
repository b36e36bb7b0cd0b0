#include "installer/process_utils.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>

#include "platform/process/process.h"
#include "tests/support/temp_dir.h"

namespace lumora::installer {
namespace {

TEST(ShortenSize, TwoDecimalsHalvesAwayFromZero) {
  struct Case {
    int32_t size;
    const char* text;
  } cases[] = {
      {0, "0.00"},
      {1536, "1.50"},
      {5, "0.00"},
      {6, "0.01"},
      {128, "0.13"},
      {1152, "1.13"},
      {-2048, "-2.00"},
      {-1, "-0.00"},
      {-128, "-0.13"},
      {1048576, "1024.00"},
      {1024, "1.00"},
      {2147483647, "2097152.00"},
      {-2147483647 - 1, "-2097152.00"},
      {10239, "10.00"},
      {1029, "1.00"},
      {1030, "1.01"},
      {102394, "99.99"},
      {102395, "100.00"},
  };
  for (auto c : cases) {
    char number[kNumberTextSize];
    char unit[kUnitTextSize];
    std::memset(number, 'X', sizeof number);
    std::memset(unit, 'X', sizeof unit);
    shortenSize(c.size, number, unit);
    EXPECT_STREQ(number, c.text) << c.size;
    EXPECT_STREQ(unit, "KB") << c.size;
  }
}

// Fails the step it is told to; counts the steps taken.
class ScriptedLauncher final : public process::Launcher {
 public:
  bool failCreate = false, failThread = false, failWait = false;
  int created = 0, waited = 0;
  std::string commandLine;

  class Started final : public process::Process {
   public:
    explicit Started(ScriptedLauncher& l) : l_(l) {}
    bool closeThreadHandle() override { return !l_.failThread; }
    bool waitForExit() override {
      ++l_.waited;
      return !l_.failWait;
    }

   private:
    ScriptedLauncher& l_;
  };

  std::unique_ptr<process::Process> create(std::string_view line) override {
    commandLine = line;
    if (failCreate) return nullptr;
    ++created;
    return std::make_unique<Started>(*this);
  }
};

TEST(Execute, StepsAndTheirFailures) {
  struct Case {
    const char* label;
    bool failCreate, failThread, failWait;
    uint32_t flag;
    uint8_t result;
    int waited;
  } cases[] = {
      {"no_wait", false, false, false, 0, 1, 0},
      {"wait", false, false, false, 1, 1, 1},
      {"only_low_byte_counts", false, false, false, 0x100, 1, 0},
      {"any_low_byte", false, false, false, 0xFF80, 1, 1},
      {"cannot_create", true, false, false, 1, 0, 0},
      {"thread_handle", false, true, false, 1, 0, 0},
      {"wait_fails", false, false, true, 1, 0, 1},
      {"wait_fails_unasked", false, false, true, 0, 1, 0},
  };
  for (auto c : cases) {
    ScriptedLauncher l;
    l.failCreate = c.failCreate;
    l.failThread = c.failThread;
    l.failWait = c.failWait;
    process::Launcher* previous = process::setLauncher(&l);
    EXPECT_EQ(execute("prog /x", c.flag), c.result) << c.label;
    process::setLauncher(previous);
    EXPECT_EQ(l.commandLine, "prog /x") << c.label;
    EXPECT_EQ(l.waited, c.waited) << c.label;
  }
}

TEST(Execute, OnThisHost) {
  test::TempDir dir;
  const std::string mark = dir.file("mark");
  const std::string line = "sh -c \"sleep 0.3; touch '" + mark + "'\"";
  EXPECT_EQ(execute(line, 1), 1);
  EXPECT_TRUE(std::filesystem::exists(mark));

  std::filesystem::remove(mark);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(execute(line, 0x100), 1);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(250));
  EXPECT_FALSE(std::filesystem::exists(mark));
  // It still runs: the mark appears later (and before the folder goes).
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!std::filesystem::exists(mark) && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_TRUE(std::filesystem::exists(mark));

  EXPECT_EQ(execute("sh -c \"exit 7\"", 1), 1);
  EXPECT_EQ(execute("lumora-surely-missing-program", 1), 0);
}

}  // namespace
}  // namespace lumora::installer
