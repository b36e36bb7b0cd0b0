// One `serve` (network, a pseudo-terminal line and USB at once) through many HotSyncs in a
// row: lumora-handheld over 127.0.0.1 and over the pseudo-terminal cable, the simulated
// handheld on a scripted USB bus. Sync types take turns (0, 2, 3); every 50th HotSync the
// link drops in its middle. Prints the server's resident memory, open descriptors and the
// median HotSync time of each transport at the start and at the end.
//
// usage: serve_soak LUMORA_HANDHELD HAND_TTY DESK_TTY HANDHELDS_DIR NET PTY USB
// (the soak script prepares the Windows folder, the handheld folders and the cable)
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "host/hotsync/serve.h"
#include "hotsync/session/user_list.h"
#include "hotsync/transport/tcp_stream.h"
#include "tests/usb/scripted_usb.h"

namespace {

using namespace lumora;
using Clock = std::chrono::steady_clock;

constexpr int kDropEvery = 50;
constexpr int kWindow = 50;  // HotSyncs of a transport that make "start" and "end"
// The first window of each transport is left out of "start": the handhelds and the shared
// sync folder trade pictures until each holds them all, and the first loads settle.
constexpr int kWarmUp = 7 * kWindow;
constexpr uint32_t kSyncTypes[] = {0, 2, 3};

// A USB bus that shows one scripted device at a time, handed over by the soak's thread; an
// opened device leaves the listing, as a handheld leaves the bus after its HotSync.
class SoakBus final : public host::UsbBus {
 public:
  std::shared_ptr<test::ScriptedUsbState> plug(test::ScriptedUsbDevice device) {
    std::lock_guard<std::mutex> lock(mutex_);
    previous_ = std::move(current_);
    current_ = std::make_unique<test::ScriptedUsbBus>();
    opened_ = false;
    return current_->add(std::move(device));
  }
  std::optional<std::vector<host::UsbDeviceInfo>> devices(std::string& error) override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!current_ || opened_) return std::vector<host::UsbDeviceInfo>{};
    return current_->devices(error);
  }
  std::unique_ptr<host::UsbHandle> open(const host::UsbDeviceInfo& device,
                                        std::string& error) override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!current_) return nullptr;
    opened_ = true;
    return current_->open(device, error);
  }
  int lookIntervalMs() const override { return 20; }

 private:
  std::mutex mutex_;
  std::unique_ptr<test::ScriptedUsbBus> current_, previous_;
  bool opened_ = false;
};

long residentKiB() {
  std::ifstream in("/proc/self/status");
  for (std::string line; std::getline(in, line);)
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  return -1;
}

long openDescriptors() {
  long n = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator("/proc/self/fd")) ++n;
  return n - 1;  // the listing's own
}

double medianMs(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

void setNextAction(const std::string& windows, const std::string& user, uint32_t type) {
  std::filesystem::create_directories(windows + "/HotSync/" + user);
  std::ofstream(windows + "/HotSync/" + user + "/Actions.ini")
      << "[LmDx]\r\nNextAction=" << type << "\r\nDefaultAction=0\r\n";
}

// lumora-handheld connect ARGS; with drop, it stops answering after a few requests and is
// killed. True when it says the desktop ended the HotSync.
bool runHandheld(const std::vector<std::string>& args, bool drop) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) env.emplace_back(*e);
  if (drop) env.emplace_back("LUMORA_HANDHELD_PAUSE=6:60000");
  std::vector<char*> argv, envp;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  for (const auto& e : env) envp.push_back(const_cast<char*>(e.c_str()));
  argv.push_back(nullptr);
  envp.push_back(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    dup2(null, 2);
    execve(argv[0], argv.data(), envp.data());
    _exit(127);
  }
  if (drop) {
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    kill(pid, SIGKILL);
    // The server gives the silent handheld up after its time-out; a handheld that starts
    // meanwhile on the same line would be taken for the rest of the broken session.
    const char* timeout = std::getenv("LUMORA_LINK_TIMEOUT_MS");
    std::this_thread::sleep_for(
        std::chrono::milliseconds(500 + (timeout ? std::atoi(timeout) : 0)));
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// How often text stands in the server's log (it flushes each line).
int countInLog(const std::string& path, const std::string& text) {
  std::ifstream in(path);
  std::string line;
  int n = 0;
  while (std::getline(in, line))
    if (line.find(text) != std::string::npos) ++n;
  return n;
}

struct Transport {
  const char* name;
  int count;
  std::vector<double> ms;
  int failed = 0, dropped = 0;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 8) {
    std::fprintf(stderr,
                 "usage: serve_soak LUMORA_HANDHELD HAND_TTY DESK_TTY HANDHELDS_DIR NET PTY "
                 "USB\n");
    return 2;
  }
  const std::string handheld = argv[1], handTty = argv[2], deskTty = argv[3], dirs = argv[4];
  const char* windowsDir = std::getenv("LUMORA_WINDOWS_DIR");
  if (!windowsDir) return 2;
  const std::string windows = windowsDir;
  Transport net{"network", std::atoi(argv[5]), {}}, tty{"pseudo-terminal", std::atoi(argv[6]), {}},
      usb{"USB", std::atoi(argv[7]), {}};

  // A free port for the listener.
  std::string error;
  uint16_t port = 0;
  {
    auto probe = host::TcpListener::open({host::kLoopback, 0}, error);
    if (!probe) return 1;
    port = probe->port();
  }
  // The server's chatter goes to a file; the figures to the original standard output.
  FILE* report = fdopen(dup(1), "w");
  if (!std::freopen((dirs + "/serve.log").c_str(), "w", stdout)) return 1;
  setvbuf(report, nullptr, _IOLBF, 0);

  SoakBus bus;
  const std::string listen = "127.0.0.1:" + std::to_string(port);
  std::vector<std::string> serveArgs = {"serve", "--listen", listen, "--serial", deskTty, "--usb"};
  int serveStatus = -1;
  std::thread server([&] {
    std::vector<char*> a;
    for (auto& s : serveArgs) a.push_back(s.data());
    serveStatus = host::runServeWith(static_cast<int>(a.size()), a.data(), &bus);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(500));

  auto figures = [&](const char* when) {
    std::fprintf(report, "%s: resident %ld KiB, %ld open descriptors\n", when, residentKiB(),
                 openDescriptors());
  };
  figures("before the first HotSync");
  long startRss = 0, startFds = 0;
  const int total = net.count + tty.count + usb.count;
  int done[3] = {0, 0, 0};
  for (int i = 1; i <= total; ++i) {
    // Five network HotSyncs, then one on the line and one over USB, while each has some left.
    int pick = i % 7 < 5 ? 0 : i % 7 == 5 ? 1 : 2;
    Transport* order[3] = {&net, &tty, &usb};
    for (int k = 0; k < 3 && done[pick] >= order[pick]->count; ++k) pick = (pick + 1) % 3;
    Transport& t = *order[pick];
    const bool drop = i % kDropEvery == 0;
    const std::string user = pick == 0 ? "Net" : pick == 1 ? "Tty" : "Usb";
    setNextAction(windows, user, kSyncTypes[done[pick] % 3]);
    const std::string folder = dirs + "/" + user;
    const auto begin = Clock::now();
    bool ran = false;
    if (pick == 0) {
      ran = runHandheld({handheld, "connect", listen, "--folder", folder, "--user", user}, drop);
    } else if (pick == 1) {
      const std::string gaveUp = "HotSync from " + deskTty + " failed";
      const int before = countInLog(dirs + "/serve.log", gaveUp);
      ran = runHandheld(
          {handheld, "connect", "--serial", handTty, "--folder", folder, "--user", user}, drop);
      // The line stays open when the handheld dies: the server gives up only after its
      // unacknowledged fragment went out ten times. A handheld that started before that
      // would meet the rest of the broken session on the cable.
      for (int waited = 0; drop && waited < 60000; waited += 50) {
        if (countInLog(dirs + "/serve.log", gaveUp) > before) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
      }
    } else {
      // The scripted device forgets what the desktop wrote to it: it starts with the user
      // ID the list recorded, long since the server ended the last USB HotSync.
      uint32_t usbUserId = 0;
      if (auto list = host::UserList::load(error))
        if (const auto* u = list->byName(user)) usbUserId = u->userId;
      test::ScriptedUsbDevice d;
      // Each time a new address on the bus, as a handheld that enumerates again gets.
      d.info = {{0x0830, 0x0060}, 1, static_cast<uint8_t>(2 + done[2] % 120)};
      d.connInfo = Bytes{1, 0, 2, 2};
      d.folder = folder;
      d.user.name = user;
      d.user.userId = usbUserId;
      if (drop) d.goneAfterRequest = 8;
      auto state = bus.plug(d);
      for (int waited = 0; waited < 60000 && !state->ended && !state->gone; waited += 2)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
      ran = state->ended;
    }
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - begin).count();
    ++done[pick];
    if (drop) {
      ++t.dropped;
    } else {
      t.ms.push_back(ms);
      if (!ran) ++t.failed;
    }
    if (i == std::min(kWarmUp, total)) {
      figures("after the first HotSyncs");
      startRss = residentKiB();
      startFds = openDescriptors();
    }
  }
  // Whatever the server still does for the last one ends with it.
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  figures("after the last HotSync");
  for (const Transport* t : {&net, &tty, &usb}) {
    if (t->ms.empty()) continue;
    const size_t w = std::min<size_t>(kWindow, t->ms.size() / 3);
    const size_t from = w;  // after the first window
    std::vector<double> first(t->ms.begin() + static_cast<std::ptrdiff_t>(from),
                              t->ms.begin() + static_cast<std::ptrdiff_t>(from + w));
    std::vector<double> last(t->ms.end() - static_cast<std::ptrdiff_t>(w), t->ms.end());
    std::fprintf(report,
                 "%s: %d HotSyncs (%d with the link dropped, %d others failed), median time of "
                 "HotSyncs %zu-%zu %.1f ms, of the last %zu %.1f ms\n",
                 t->name, t->count, t->dropped, t->failed, from + 1, from + w, medianMs(first), w,
                 medianMs(last));
  }
  // What the server itself says: each HotSync that was not dropped must have completed.
  std::fflush(stdout);
  int complete[3] = {0, 0, 0};
  std::ifstream log(dirs + "/serve.log");
  for (std::string line; std::getline(log, line);)
    for (int k = 0; k < 3; ++k)
      if (line == std::string("HotSync of ") +
                      (k == 0   ? "Net"
                       : k == 1 ? "Tty"
                                : "Usb") +
                      " complete")
        ++complete[k];
  int missing = 0;
  for (int k = 0; k < 3; ++k) {
    const Transport* t = k == 0 ? &net : k == 1 ? &tty : &usb;
    std::fprintf(report, "%s: the server completed %d of %d HotSyncs\n", t->name, complete[k],
                 t->count - t->dropped);
    missing += t->count - t->dropped - complete[k];
  }
  std::fprintf(report,
               "growth from the first HotSyncs to the end: resident %+ld KiB, %+ld descriptors\n",
               residentKiB() - startRss, openDescriptors() - startFds);
  kill(getpid(), SIGTERM);
  server.join();
  std::fprintf(report, "serve ended with status %d\n", serveStatus);
  return net.failed + tty.failed + usb.failed == 0 && missing == 0 ? 0 : 1;
}
