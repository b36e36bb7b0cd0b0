// Starting programs as the installer library does it, behind one replaceable table.
#pragma once

#include <memory>
#include <string_view>

namespace lumora::process {

// A started program. Destroying it closes the process handle without waiting.
class Process {
 public:
  virtual ~Process() = default;
  virtual bool closeThreadHandle() = 0;
  // Waits with no time limit; true when the wait ended because the program ended.
  virtual bool waitForExit() = 0;
};

class Launcher {
 public:
  virtual ~Launcher() = default;
  // CreateProcessA without an application name: the program is the first token of the
  // Windows-style command line, looked for in PATH; the caller's environment and current
  // directory; no handles inherited. nullptr when it cannot be started.
  virtual std::unique_ptr<Process> create(std::string_view commandLine) = 0;
};

Launcher& launcher();
Launcher* setLauncher(Launcher* l);
Launcher& hostLauncher();

}  // namespace lumora::process
