// Programs started with CreateProcessA, the command line passed through unchanged.
#include <windows.h>

#include <string>
#include <vector>

#include "platform/files/win32_handle.h"
#include "platform/process/process.h"

namespace lumora::process {
namespace {

class HostProcess final : public Process {
 public:
  HostProcess(HANDLE process, HANDLE thread) : process_(process), thread_(thread) {}

  bool closeThreadHandle() override { return thread_.closeChecked(); }

  bool waitForExit() override {
    return process_.valid() && ::WaitForSingleObject(process_.get(), INFINITE) == WAIT_OBJECT_0;
  }

 private:
  win32::Handle process_;
  win32::Handle thread_;
};

class HostLauncher final : public Launcher {
 public:
  std::unique_ptr<Process> create(std::string_view commandLine) override {
    // CreateProcessA may write into the command line, so it gets a copy of its own.
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &info))
      return nullptr;
    return std::make_unique<HostProcess>(info.hProcess, info.hThread);
  }
};

}  // namespace

Launcher& hostLauncher() {
  static HostLauncher l;
  return l;
}

}  // namespace lumora::process
