// lumora-handheld connect against a small scripted desktop on 127.0.0.1: the handshake, a
// few DLP requests and EndOfSync (or a connection dropped before it).
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <thread>

#include "hotsync/format/handheld_clock.h"
#include "hotsync/format/pdb_file.h"
#include "hotsync/link/dlp_functions.h"
#include "hotsync/link/netsync_link.h"
#include "hotsync/transport/tcp_stream.h"
#include "tests/support/temp_dir.h"

namespace lumora::host {
namespace {

using namespace link::dlp;
using link::Request;
using link::Response;

constexpr int kWaitMs = 10000;

int64_t steadyMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// lumora-handheld in a child process; killed if the test leaves it running.
class Child {
 public:
  Child(const std::vector<std::string>& args, const std::string& out, const std::string& err) {
    pid_ = fork();
    if (pid_ == 0) {
      int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      dup2(o, 1);
      dup2(e, 2);
      std::vector<char*> argv;
      for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
  }
  ~Child() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  // The exit status, or nullopt when it is still running after timeoutMs.
  std::optional<int> wait(int timeoutMs) {
    for (int64_t end = steadyMs() + timeoutMs; steadyMs() < end;) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return std::nullopt;
  }

 private:
  pid_t pid_ = -1;
};

// The desktop's end of one connection, one request at a time.
class Desktop {
 public:
  explicit Desktop(std::unique_ptr<TcpStream> stream)
      : stream_(std::move(stream)), link_(*stream_, link::LinkRole::Desktop, steadyMs) {}
  link::HandshakeResult handshake() { return link::desktopHandshake(link_, kWaitMs); }
  template <class Q>
  Response ask(const Q& typed) {
    auto request = link::dlp::toRequest(typed);
    auto packet = link::encodeRequest(*request);
    EXPECT_TRUE(link_.send(*packet));
    link::LinkMessage got = link_.receive(kWaitMs);
    EXPECT_EQ(got.status, link::StreamStatus::Ok) << got.error;
    auto answer = link::decodeResponse(got.message);
    EXPECT_TRUE(answer);
    return answer ? *answer : Response{Q::kFunction, 0xFFFF, {}};
  }
  template <class A, class Q>
  A expect(const Q& typed) {
    auto answer = fromResponse<A>(ask(typed));
    EXPECT_TRUE(answer) << answer.error().message;
    return answer ? *answer : A{};
  }

 private:
  std::unique_ptr<TcpStream> stream_;
  link::NetSyncLink link_;
};

class HandheldLoopback : public testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(handheld);
    for (const auto& e : std::filesystem::directory_iterator(LUMORA_SOURCE_DIR "/samples/handheld"))
      std::filesystem::copy_file(e.path(), handheld + "/" + e.path().filename().string());
    std::string error;
    listener = TcpListener::open({kLoopback, 0}, error);
    ASSERT_TRUE(listener) << error;
    port = listener->port();
  }
  std::unique_ptr<Child> start(std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {LUMORA_HANDHELD_PROGRAM, "connect",
                                     "127.0.0.1:" + std::to_string(port), "--folder", handheld};
    args.insert(args.end(), extra.begin(), extra.end());
    return std::make_unique<Child>(args, dir.file("out.txt"), dir.file("err.txt"));
  }
  std::unique_ptr<Desktop> accept() {
    auto got = listener->accept(kWaitMs);
    EXPECT_EQ(got.status, TcpListener::Status::Accepted) << got.error;
    if (!got.stream) return nullptr;
    return std::make_unique<Desktop>(std::move(got.stream));
  }

  lumora::test::TempDir dir;
  std::string handheld = dir.file("handheld");
  std::unique_ptr<TcpListener> listener;
  uint16_t port = 0;
};

TEST_F(HandheldLoopback, AnswersASessionAndWritesAtTheEnd) {
  lumora::test::ScopedEnv fixedTime("LUMORA_HANDHELD_TIME", "1700000000");
  auto child = start({"--user", "Tester"});
  auto desktop = accept();
  ASSERT_TRUE(desktop);
  ASSERT_TRUE(desktop->handshake());

  EXPECT_EQ(desktop->expect<UserInfo>(ReadUserInfoRequest{}).name, "Tester");
  uint8_t h = desktop->expect<OpenDbAnswer>(OpenDbRequest{0, 0x80, "Meadow"}).handle;
  Record record = desktop->expect<Record>(ReadRecordRequest{false, h, 0, 0, 0, 64});
  auto file = lumora::test::readFile(handheld + "/Meadow.pdb");
  auto db = hotsync::parsePdb(file).database;
  ASSERT_TRUE(db && !db->records.empty());
  const Bytes& stored = db->records[0].data;
  EXPECT_EQ(record.recordSize, stored.size());
  EXPECT_EQ(record.data,
            Bytes(stored.begin(), stored.begin() + std::min<size_t>(64, stored.size())));
  EXPECT_EQ(desktop->ask(CloseDbRequest{false, h}).error, kErrNone);

  uint8_t w = desktop->expect<CreateDbAnswer>(CreateDbRequest{1, 2, 0, 0, 1, "Wired"}).handle;
  EXPECT_EQ(desktop->expect<WriteRecordAnswer>(WriteRecordRequest{w, 0x80, 0, 0, 0, Bytes(3000, 7)})
                .recordId,
            1u);
  EXPECT_EQ(desktop->ask(AddSyncLogEntryRequest{"Lumdex: 1 picture copied."}).error, kErrNone);
  WriteUserInfoRequest done;
  done.lastSync = {2026, 12, 9, 11, 0, 0, 0};
  done.modFlags = WriteUserInfoRequest::kSyncDate;
  EXPECT_EQ(desktop->ask(done).error, kErrNone);
  EXPECT_EQ(desktop->ask(EndOfSyncRequest{}).error, kErrNone);
  // Answered only once written.
  auto wired = hotsync::parsePdb(lumora::test::readFile(handheld + "/Wired.pdb")).database;
  ASSERT_TRUE(wired);
  EXPECT_EQ(wired->records.at(0).data, Bytes(3000, 7));
  EXPECT_EQ(wired->creationDate, 1700000000u + hotsync::kSecondsFrom1904To1970);

  EXPECT_EQ(child->wait(kWaitMs), 0) << lumora::test::readText(dir.file("err.txt"));
  EXPECT_EQ(lumora::test::readText(dir.file("out.txt")), "Lumdex: 1 picture copied.\n");
  std::string state = lumora::test::readText(handheld + "/.handheld.ini");
  EXPECT_NE(state.find("Name=Tester\n"), std::string::npos) << state;
  EXPECT_NE(state.find("LastSuccessfulSync=2026-12-09 11:00:00\n"), std::string::npos) << state;
}

TEST_F(HandheldLoopback, BrokenSessionWritesNothing) {
  auto child = start();
  {
    auto desktop = accept();
    ASSERT_TRUE(desktop);
    ASSERT_TRUE(desktop->handshake());
    EXPECT_EQ(desktop->expect<UserInfo>(ReadUserInfoRequest{}).name, "");  // no user yet
    uint8_t w = desktop->expect<CreateDbAnswer>(CreateDbRequest{1, 2, 0, 0, 1, "Half"}).handle;
    EXPECT_EQ(desktop->ask(WriteRecordRequest{w, 0x80, 0, 0, 0, Bytes(10, 1)}).error, kErrNone);
    uint8_t m = desktop->expect<OpenDbAnswer>(OpenDbRequest{0, 0xC0, "Meadow"}).handle;
    EXPECT_EQ(desktop->ask(WriteRecordRequest{m, 0x80, 0, 0, 0, Bytes(10, 1)}).error, kErrNone);
  }  // dropped without EndOfSync
  Bytes before = lumora::test::readFile(handheld + "/Meadow.pdb");
  EXPECT_EQ(child->wait(kWaitMs), 1);
  EXPECT_NE(lumora::test::readText(dir.file("err.txt")).find("broke off"), std::string::npos);
  EXPECT_FALSE(lumora::test::fileExists(handheld + "/Half.pdb"));
  EXPECT_EQ(lumora::test::readFile(handheld + "/Meadow.pdb"), before);
  EXPECT_FALSE(lumora::test::fileExists(handheld + "/.handheld.ini"));
}

TEST_F(HandheldLoopback, NoDesktopListening) {
  listener.reset();  // the port is closed again
  auto child = start();
  EXPECT_EQ(child->wait(kWaitMs), 1);
  EXPECT_NE(lumora::test::readText(dir.file("err.txt")).find("cannot connect"), std::string::npos);
}

TEST(TcpTransport, ListensConnectsAndTimesOut) {
  std::string error;
  auto listener = TcpListener::open({kLoopback, 0}, error);
  ASSERT_TRUE(listener) << error;
  EXPECT_NE(listener->port(), 0);
  EXPECT_EQ(listener->address(), "127.0.0.1:" + std::to_string(listener->port()));
  EXPECT_EQ(listener->accept(20).status, TcpListener::Status::Timeout);
  EXPECT_FALSE(TcpListener::open({kLoopback, listener->port()}, error));
  EXPECT_NE(error.find(listener->address()), std::string::npos) << error;

  Connection client = connectTcp({kLoopback, listener->port()}, kWaitMs);
  ASSERT_TRUE(client.stream) << client.error;
  auto server = listener->accept(kWaitMs);
  ASSERT_TRUE(server.stream) << server.error;
  uint8_t buffer[16];
  EXPECT_EQ(server.stream->read(buffer, sizeof buffer, 20).status, link::StreamStatus::Timeout);
  ASSERT_TRUE(client.stream->write(Bytes{1, 2, 3}));
  auto got = server.stream->read(buffer, sizeof buffer, kWaitMs);
  EXPECT_EQ(got.status, link::StreamStatus::Ok);
  EXPECT_EQ(got.count, 3u);
  client.stream.reset();
  EXPECT_EQ(server.stream->read(buffer, sizeof buffer, kWaitMs).status, link::StreamStatus::Closed);
}

}  // namespace
}  // namespace lumora::host
