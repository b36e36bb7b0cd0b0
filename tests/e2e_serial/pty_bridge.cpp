// A null-modem cable between two pseudo-terminals, for serial HotSync tests: prints the
// two device paths on one line, then copies bytes between them until SIGTERM, SIGINT or
// the given number of seconds, whichever comes first. Both ends start raw, so nothing is
// echoed or translated before the programs set up their own end.
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

volatile std::sig_atomic_t stop = 0;
extern "C" void onSignal(int) {
  stop = 1;
}

struct Pty {
  int master = -1, slave = -1;
  std::string path;
  ~Pty() {
    if (master >= 0) close(master);
    if (slave >= 0) close(slave);
  }
};

bool openRaw(Pty& p) {
  termios raw{};
  cfmakeraw(&raw);
  char name[128] = {};
  if (openpty(&p.master, &p.slave, name, &raw, nullptr) != 0) return false;
  p.path = name;
  return true;
}

// Copies what is waiting on from to to; false when from cannot be read any more.
bool copy(int from, int to, unsigned long long& moved) {
  char buf[4096];
  ssize_t n = read(from, buf, sizeof buf);
  if (n <= 0) return false;
  for (ssize_t done = 0; done < n;) {
    ssize_t w = write(to, buf + done, static_cast<size_t>(n - done));
    if (w <= 0) return false;
    done += w;
  }
  moved += static_cast<unsigned long long>(n);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
  if (argc > 2 || seconds <= 0) {
    std::fprintf(stderr, "usage: pty_bridge [SECONDS]\n");
    return 2;
  }
  std::signal(SIGTERM, onSignal);
  std::signal(SIGINT, onSignal);
  Pty a, b;
  if (!openRaw(a) || !openRaw(b)) {
    std::perror("pty_bridge: openpty");
    return 1;
  }
  std::printf("%s %s\n", a.path.c_str(), b.path.c_str());
  std::fflush(stdout);
  // Keeping the slaves open here means a program closing its end does not end the cable.
  auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  unsigned long long moved = 0;
  while (!stop && std::chrono::steady_clock::now() < end) {
    pollfd fds[2] = {{a.master, POLLIN, 0}, {b.master, POLLIN, 0}};
    if (poll(fds, 2, 100) <= 0) continue;
    if ((fds[0].revents & POLLIN) && !copy(a.master, b.master, moved)) break;
    if ((fds[1].revents & POLLIN) && !copy(b.master, a.master, moved)) break;
  }
  std::fprintf(stderr, "pty_bridge: %llu bytes moved\n", moved);
  return 0;
}
