#include <cstdio>
#include <string>

#include "platform/ui/toolkit.h"

namespace lumora::ui {
namespace {

class ConsoleToolkit final : public Toolkit {
 public:
  int messageBox(Window, std::string_view text, std::string_view caption, uint32_t) override {
    std::string line = "[" + std::string(caption) + "] " + std::string(text) + "\n";
    std::fputs(line.c_str(), stderr);
    return kIdOk;
  }
  bool getOpenFileName(OpenFileRequest&) override { return false; }
  uint32_t commDlgExtendedError() override { return 0; }
};

Toolkit* current = nullptr;

}  // namespace

Toolkit& toolkit() {
  static ConsoleToolkit console;
  return current ? *current : console;
}

Toolkit* setToolkit(Toolkit* t) {
  Toolkit* previous = current;
  current = t;
  return previous;
}

}  // namespace lumora::ui
