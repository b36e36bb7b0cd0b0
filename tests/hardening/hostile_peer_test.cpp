// Hostile peers against `lumora-hotsync serve` on 127.0.0.1: garbage, a packet announcing
// 4 GiB (before and after the handshake), a trickle that stalls the handshake, silence, and
// an honest session delivered one byte at a time. The server closes each with a line,
// stays small, and the next honest handheld syncs. Also Ctrl-C, `--once` without a user
// name, and database names from the handheld that look like paths.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <thread>

#include "hotsync/link/netsync.h"
#include "hotsync/link/netsync_link.h"
#include "hotsync/transport/tcp_stream.h"
#include "tests/hardening/sync_scene.h"

namespace lumora::hardening {
namespace {
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// 4 GiB announced must not reach memory. The sanitizers' shadow memory and quarantine
// alone take most of 64 MiB.
#if defined(__SANITIZE_ADDRESS__)
constexpr long kMaxServePeakKb = 256 * 1024;
#else
constexpr long kMaxServePeakKb = 64 * 1024;
#endif

int64_t steadyMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch())
      .count();
}

void sleepMs(int ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// A program running beside the test, its output in a file; killed if still running when
// the object goes.
class Child {
 public:
  Child(const std::vector<std::string>& args, std::string outputFile)
      : output_(std::move(outputFile)) {
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    // Opened here, so that the file is there to read as soon as the child runs.
    const int fd = open(output_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      if (dup2(fd, 1) < 0 || dup2(fd, 2) < 0) _exit(127);
      execv(argv[0], argv.data());
      _exit(127);
    }
    close(fd);
  }
  ~Child() {
    if (pid_ > 0 && !status_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  // The exit status (-1 after a signal), or nullopt while it runs after timeoutMs.
  std::optional<int> wait(int timeoutMs) {
    const int64_t deadline = steadyMs() + timeoutMs;
    while (!status_ && pid_ > 0) {
      int raw = 0;
      pid_t got = waitpid(pid_, &raw, WNOHANG);
      if (got == pid_) {
        status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        break;
      }
      if (got < 0 || steadyMs() >= deadline) break;
      sleepMs(10);
    }
    return status_;
  }
  bool running() { return !wait(0) && pid_ > 0; }
  void signal(int sig) const { kill(pid_, sig); }

  // Peak resident memory so far, from /proc (only while it runs).
  long peakKb() const {
    std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
    for (std::string line; std::getline(status, line);)
      if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
    return -1;
  }
  std::string output() const { return test::readText(output_); }
  int countLines(const std::string& part) const {
    std::istringstream in(output());
    int n = 0;
    for (std::string line; std::getline(in, line);) n += line.find(part) != std::string::npos;
    return n;
  }

 private:
  std::string output_;
  pid_t pid_ = -1;
  std::optional<int> status_;
};

// `lumora-hotsync serve` on a free port of 127.0.0.1.
class Serve : public Child {
 public:
  Serve(const std::vector<std::string>& options, const std::string& outputFile)
      : Child(withProgram(options), outputFile) {
    const int64_t deadline = steadyMs() + 10000;
    while (steadyMs() < deadline && running()) {
      std::string out = output();
      if (auto at = out.find("listening on 127.0.0.1:");
          at != std::string::npos && out.find('\n', at) != std::string::npos) {
        port_ = static_cast<uint16_t>(std::stoi(out.substr(at + 23)));
        return;
      }
      sleepMs(10);
    }
  }
  uint16_t port() const { return port_; }
  std::string address() const { return "127.0.0.1:" + std::to_string(port_); }

 private:
  static std::vector<std::string> withProgram(const std::vector<std::string>& options) {
    std::vector<std::string> args{LUMORA_HOTSYNC_EXE, "serve", "--listen", "127.0.0.1:0"};
    args.insert(args.end(), options.begin(), options.end());
    return args;
  }
  uint16_t port_ = 0;
};

std::unique_ptr<host::TcpStream> connectTo(uint16_t port) {
  host::Connection c = host::connectTcp({host::kLoopback, port}, 5000);
  EXPECT_TRUE(c.stream) << c.error;
  return std::move(c.stream);
}

// True when the other side closes the connection within timeoutMs; what it sends is read
// and dropped.
bool closedWithin(host::TcpStream& stream, int timeoutMs) {
  const int64_t deadline = steadyMs() + timeoutMs;
  uint8_t buffer[4096];
  for (int64_t left; (left = deadline - steadyMs()) > 0;) {
    link::StreamRead got = stream.read(buffer, sizeof buffer, static_cast<int>(left));
    if (got.status == link::StreamStatus::Closed || got.status == link::StreamStatus::Failed)
      return true;
  }
  return false;
}

// Forwards one connection of a handheld to the server, the handheld's bytes one write each.
class ByteByByteRelay {
 public:
  explicit ByteByByteRelay(uint16_t serverPort) {
    std::string error;
    listener_ = host::TcpListener::open({host::kLoopback, 0}, error);
    if (listener_) thread_ = std::thread([this, serverPort] { run(serverPort); });
  }
  ~ByteByByteRelay() {
    if (thread_.joinable()) thread_.join();
  }
  std::string address() const { return listener_ ? listener_->address() : "127.0.0.1:1"; }
  size_t bytesToServer() const { return toServer_; }

 private:
  void run(uint16_t serverPort) {
    auto handheld = listener_->accept(10000);
    if (!handheld.stream) return;
    host::Connection desktop = host::connectTcp({host::kLoopback, serverPort}, 5000);
    if (!desktop.stream) return;
    const int64_t deadline = steadyMs() + 60000;
    uint8_t buffer[4096];
    while (steadyMs() < deadline) {
      link::StreamRead up = handheld.stream->read(buffer, sizeof buffer, 2);
      if (up.status == link::StreamStatus::Closed || up.status == link::StreamStatus::Failed)
        return;
      for (size_t i = 0; i < up.count; ++i, ++toServer_)
        if (!desktop.stream->write(ByteView(buffer + i, 1))) return;
      link::StreamRead down = desktop.stream->read(buffer, sizeof buffer, 2);
      if (down.status == link::StreamStatus::Closed || down.status == link::StreamStatus::Failed)
        return;
      if (down.count && !handheld.stream->write(ByteView(buffer, down.count))) return;
    }
  }

  std::unique_ptr<host::TcpListener> listener_;
  std::atomic<size_t> toServer_{0};
  std::thread thread_;
};

int registerConduit(const std::string& logs) {
  Child reg({LUMORA_HOTSYNC_EXE, "register"}, logs + "/register.txt");
  return reg.wait(30000).value_or(-2);
}

// lumora-handheld connect; its exit status.
int connectHandheld(const std::string& address, const std::string& folder,
                    const std::string& outputFile, std::optional<std::string> user = "Tester") {
  std::vector<std::string> args{LUMORA_HANDHELD_EXE, "connect", address, "--folder", folder};
  if (user) args.insert(args.end(), {"--user", *user});
  Child handheld(args, outputFile);
  return handheld.wait(60000).value_or(-2);
}

using Act = std::function<void(host::TcpStream&)>;

void sendBytes(host::TcpStream& stream, const Bytes& bytes) {
  stream.write(bytes);
}

TEST(HostilePeer, ServeClosesEachAndTheNextHandheldSyncs) {
  Scene scene;
  test::TempDir logs;
  ASSERT_EQ(registerConduit(logs.path()), 0);
  test::ScopedEnv shortWait("LUMORA_LINK_TIMEOUT_MS", "1000");
  Serve serve({"--sync-type", "0"}, logs.file("serve.txt"));
  ASSERT_NE(serve.port(), 0) << serve.output();

  Bytes garbage(64 * 1024);
  uint32_t seed = 12345;
  for (auto& b : garbage) b = static_cast<uint8_t>((seed = seed * 1103515245 + 12345) >> 24);
  garbage[0] = 0x55;
  const Bytes huge{link::kNetSyncData, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  const struct {
    const char* name;
    Act act;
  } peers[] = {
      {"garbage", [&](host::TcpStream& s) { sendBytes(s, garbage); }},
      {"4 GiB first packet", [&](host::TcpStream& s) { sendBytes(s, huge); }},
      {"4 GiB answer after the handshake",
       [&](host::TcpStream& s) {
         link::NetSyncLink wire(s, link::LinkRole::Handheld, steadyMs);
         ASSERT_TRUE(link::handheldHandshake(wire, 5000));
         ASSERT_EQ(wire.receive(5000).status, link::StreamStatus::Ok);
         sendBytes(s, {link::kNetSyncData, 1, 0xFF, 0xFF, 0xFF, 0xFF});
       }},
      {"trickle slower than the time-out",
       [&](host::TcpStream& s) {
         Bytes hello = link::encodeNetSync(link::kNetSyncData, link::kHandheldFirstXid,
                                           link::handheldHello());
         for (uint8_t b : hello) {
           if (!s.write(ByteView(&b, 1))) break;
           sleepMs(100);
         }
       }},
      {"silence", [](host::TcpStream&) {}},
      {"gone at once", [](host::TcpStream&) {}},
  };
  int closedLines = 0;
  for (const auto& peer : peers) {
    SCOPED_TRACE(peer.name);
    auto stream = connectTo(serve.port());
    ASSERT_TRUE(stream);
    const int64_t start = steadyMs();
    peer.act(*stream);
    if (std::string(peer.name) != "gone at once") {
      EXPECT_TRUE(closedWithin(*stream, 5000)) << serve.output();
    }
    stream.reset();
    // Each ends with its own line before the next connection is taken.
    const int64_t lineDeadline = start + 8000;
    ++closedLines;
    while (serve.countLines("closed the connection from") + serve.countLines("failed:") <
               closedLines &&
           steadyMs() < lineDeadline)
      sleepMs(10);
    EXPECT_EQ(serve.countLines("closed the connection from") + serve.countLines("failed:"),
              closedLines)
        << serve.output();
    ASSERT_TRUE(serve.running()) << serve.output();
  }
  EXPECT_EQ(serve.countLines("announces 4294967295 bytes, more than the limit"), 2)
      << serve.output();

  {
    ByteByByteRelay relay(serve.port());
    EXPECT_EQ(connectHandheld(relay.address(), scene.handheld(), logs.file("relayed.txt")), 0)
        << test::readText(logs.file("relayed.txt")) << serve.output();
    EXPECT_GT(relay.bytesToServer(), 10000u) << "the handheld's pictures did not pass the relay";
  }
  // The handheld is gone once it has its EndOfSync answer; serve's closing line follows.
  auto waitForComplete = [&](int n) {
    const int64_t deadline = steadyMs() + 8000;
    while (serve.countLines("HotSync of Tester complete") < n && steadyMs() < deadline) sleepMs(10);
  };
  waitForComplete(1);
  EXPECT_EQ(serve.countLines("HotSync of Tester complete"), 1) << serve.output();
  EXPECT_TRUE(fs::exists(scene.handheld() + "/Tiles.pdb")) << "the desktop's picture did not move";
  EXPECT_TRUE(fs::exists(scene.sync() + "/Doodle.bmp")) << "the handheld's picture did not move";
  EXPECT_EQ(connectHandheld(serve.address(), scene.handheld(), logs.file("direct.txt")), 0)
      << test::readText(logs.file("direct.txt"));
  waitForComplete(2);
  EXPECT_EQ(serve.countLines("HotSync of Tester complete"), 2) << serve.output();

  const long peak = serve.peakKb();
  std::printf("serve: peak %ld kB after %zu hostile peers and 2 HotSyncs\n", peak,
              std::size(peers));
  EXPECT_GT(peak, 0);
  EXPECT_LT(peak, kMaxServePeakKb) << serve.output();

  serve.signal(SIGINT);
  EXPECT_EQ(serve.wait(5000), 0) << serve.output();
  EXPECT_EQ(serve.countLines("stopped"), 1) << serve.output();
}

TEST(HostilePeer, CtrlCEndsServeWhileAPeerStallsTheHandshake) {
  Scene scene;
  test::TempDir logs;
  Serve serve({}, logs.file("serve.txt"));
  ASSERT_NE(serve.port(), 0) << serve.output();
  auto silent = connectTo(serve.port());
  ASSERT_TRUE(silent);
  // The first packet, then silence: the server's answer shows it waits in the handshake.
  silent->write(
      link::encodeNetSync(link::kNetSyncData, link::kHandheldFirstXid, link::handheldHello()));
  uint8_t answer[64];
  ASSERT_EQ(silent->read(answer, sizeof answer, 5000).status, link::StreamStatus::Ok);
  const int64_t start = steadyMs();
  serve.signal(SIGINT);
  EXPECT_EQ(serve.wait(5000), 0) << serve.output();
  EXPECT_LT(steadyMs() - start, 5000);
  EXPECT_EQ(serve.countLines("closed the connection from"), 1) << serve.output();
  EXPECT_EQ(serve.countLines("stopped"), 1) << serve.output();
}

TEST(HostilePeer, OnceExitsOneWhenTheHandheldHasNoUserName) {
  Scene scene;
  test::TempDir logs;
  ASSERT_EQ(registerConduit(logs.path()), 0);
  Serve serve({"--once"}, logs.file("serve.txt"));
  ASSERT_NE(serve.port(), 0) << serve.output();
  connectHandheld(serve.address(), scene.handheld(), logs.file("handheld.txt"), std::nullopt);
  EXPECT_EQ(serve.wait(10000), 1) << serve.output();
  EXPECT_EQ(serve.countLines("the handheld has no user name"), 1) << serve.output();
}

// The conduit's name checks hold for names that come over the link as for folder files.
TEST(HostilePeer, HandheldNamesOverTheLinkStayInsideTheFolders) {
  const std::string names[] = {"../Escaped",  "a/b", "..",     "/abs",       "ctl\x01\x1f\x7f",
                               "back\\slash", "CON", "lpt1.x", "trailing. ", std::string(31, 'L'),
                               "Name:Stream"};
  for (int type : {2, 0}) {
    SCOPED_TRACE("sync type " + std::to_string(type));
    Scene scene;
    test::TempDir logs;
    for (const auto& name : names) putPicture(scene, name);
    ASSERT_EQ(registerConduit(logs.path()), 0);
    const auto outside = outsideFiles(scene);
    Serve serve({"--once", "--sync-type", std::to_string(type)}, logs.file("serve.txt"));
    ASSERT_NE(serve.port(), 0) << serve.output();
    EXPECT_EQ(connectHandheld(serve.address(), scene.handheld(), logs.file("handheld.txt")), 0)
        << test::readText(logs.file("handheld.txt"));
    EXPECT_EQ(serve.wait(30000), 0) << serve.output();
    EXPECT_EQ(outsideFiles(scene), outside);
    for (const auto& folder : {scene.sync(), scene.handheld()})
      for (const auto& e : fs::directory_iterator(folder))
        EXPECT_TRUE(e.is_regular_file()) << e.path();
    EXPECT_TRUE(fs::exists(scene.sync() + "/Doodle.bmp")) << serve.output();
  }
}

}  // namespace
}  // namespace lumora::hardening
