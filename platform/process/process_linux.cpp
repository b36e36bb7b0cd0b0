// Programs started through a small keeper process: the keeper starts the program and,
// when asked, waits for it; told not to wait, it exits at once and the program is
// adopted by init. So no program is left as a zombie when its handle is closed unwaited.
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/files/paths.h"
#include "platform/process/command_line.h"
#include "platform/process/process.h"

namespace lumora::process {
namespace {

constexpr char kWait = 'w';

void closeQuietly(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

// Waits for pid; true with its status when it was reaped.
bool reap(pid_t pid, int& status) {
  pid_t r;
  do {
    r = ::waitpid(pid, &status, 0);
  } while (r < 0 && errno == EINTR);
  return r == pid;
}

std::string hostProgram(const std::string& token) {
  const bool windowsPath =
      token.find('\\') != std::string::npos ||
      (token.size() >= 2 && std::isalpha(static_cast<unsigned char>(token[0])) && token[1] == ':');
  return windowsPath ? paths::toHostPath(token) : token;
}

// The first executable regular file of that name in PATH, as execvp would find it.
std::string findProgram(const std::string& program) {
  if (program.empty()) return {};
  if (program.find('/') != std::string::npos) return program;
  const char* env = std::getenv("PATH");
  const std::string list = env ? env : "/usr/local/bin:/usr/bin:/bin";
  size_t at = 0;
  while (at <= list.size()) {
    size_t colon = list.find(':', at);
    if (colon == std::string::npos) colon = list.size();
    // An empty entry is the current directory.
    const std::string folder = colon > at ? list.substr(at, colon - at) : std::string(".");
    const std::string candidate = folder + "/" + program;
    struct stat st {};
    if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
        ::access(candidate.c_str(), X_OK) == 0)
      return candidate;
    at = colon + 1;
  }
  return {};
}

// Runs in the forked keeper: only calls that are safe after fork in a threaded process.
[[noreturn]] void runKeeper(const char* path, char* const* argv, int statusOut, int control) {
  const pid_t program = ::fork();
  if (program == 0) {
    ::close(control);
    // No handles inherited beyond the standard three (and the status pipe, closed by exec).
    if (statusOut > 3) ::close_range(3, static_cast<unsigned>(statusOut) - 1, 0);
    ::close_range(static_cast<unsigned>(statusOut) + 1, ~0u, 0);
    ::execve(path, argv, environ);
    const int error = errno;
    (void)!::write(statusOut, &error, sizeof error);
    ::_exit(127);
  }
  if (program < 0) {
    const int error = errno;
    (void)!::write(statusOut, &error, sizeof error);
    ::_exit(1);
  }
  ::close(statusOut);
  char what = 0;
  ssize_t n;
  do {
    n = ::read(control, &what, 1);
  } while (n < 0 && errno == EINTR);
  if (n == 1 && what == kWait) {
    int status = 0;
    ::_exit(reap(program, status) ? 0 : 1);
  }
  ::_exit(0);
}

class HostProcess final : public Process {
 public:
  HostProcess(pid_t keeper, int control) : keeper_(keeper), control_(control) {}
  ~HostProcess() override {
    // Closing the control socket lets the keeper go without waiting.
    closeQuietly(control_);
    int status = 0;
    if (keeper_ > 0) reap(keeper_, status);
  }
  HostProcess(const HostProcess&) = delete;
  HostProcess& operator=(const HostProcess&) = delete;

  bool closeThreadHandle() override { return true; }

  bool waitForExit() override {
    if (keeper_ <= 0 || control_ < 0) return false;
    ssize_t n;
    do {
      n = ::send(control_, &kWait, 1, MSG_NOSIGNAL);
    } while (n < 0 && errno == EINTR);
    closeQuietly(control_);
    int status = 0;
    const bool reaped = reap(keeper_, status);
    keeper_ = -1;
    return n == 1 && reaped && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }

 private:
  pid_t keeper_;
  int control_;
};

class HostLauncher final : public Launcher {
 public:
  std::unique_ptr<Process> create(std::string_view commandLine) override {
    std::vector<std::string> args = splitCommandLine(commandLine);
    if (args.empty()) return nullptr;
    args[0] = hostProgram(args[0]);
    const std::string path = findProgram(args[0]);
    if (path.empty()) return nullptr;
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    int status[2];
    if (::pipe2(status, O_CLOEXEC) != 0) return nullptr;
    int control[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, control) != 0) {
      ::close(status[0]);
      ::close(status[1]);
      return nullptr;
    }
    const pid_t keeper = ::fork();
    if (keeper == 0) {
      ::close(status[0]);
      ::close(control[0]);
      runKeeper(path.c_str(), argv.data(), status[1], control[1]);
    }
    ::close(status[1]);
    ::close(control[1]);
    if (keeper < 0) {
      ::close(status[0]);
      ::close(control[0]);
      return nullptr;
    }
    // The status pipe closes on a successful exec; an error number arrives otherwise.
    int error = 0;
    ssize_t n;
    do {
      n = ::read(status[0], &error, sizeof error);
    } while (n < 0 && errno == EINTR);
    ::close(status[0]);
    auto started = std::make_unique<HostProcess>(keeper, control[0]);
    if (n != 0) return nullptr;  // the destructor lets the keeper go and reaps it
    return started;
  }
};

}  // namespace

Launcher& hostLauncher() {
  static HostLauncher l;
  return l;
}

}  // namespace lumora::process
