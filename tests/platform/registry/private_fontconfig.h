// A fontconfig configuration of its own for a test: one copy of DejaVu Sans in a temporary
// folder, its cache beside it, set through FONTCONFIG_FILE for the life of the object.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "tests/support/temp_dir.h"

namespace lumora::test {

class PrivateFontconfig {
 public:
  explicit PrivateFontconfig(const TempDir& dir, const std::string& fileName = "DejaVuSans.ttf") {
    const std::string source = LUMORA_DEJAVU_SANS;
    if (source.empty() || !std::filesystem::exists(source)) return;
    std::filesystem::create_directories(dir.file("fc/fonts"));
    std::filesystem::create_directories(dir.file("fc/cache"));
    fontPath_ = dir.file("fc/fonts/" + fileName);
    std::filesystem::copy_file(source, fontPath_);
    const std::string conf = dir.file("fc/fonts.conf");
    writeText(conf,
              "<?xml version=\"1.0\"?>\n<!DOCTYPE fontconfig SYSTEM \"fonts.dtd\">\n"
              "<fontconfig>\n  <dir>" +
                  dir.file("fc/fonts") +
                  "</dir>\n"
                  "  <cachedir>" +
                  dir.file("fc/cache") + "</cachedir>\n</fontconfig>\n");
    env_ = std::make_unique<ScopedEnv>("FONTCONFIG_FILE", conf);
  }
  bool ready() const { return env_ != nullptr; }
  const std::string& fontPath() const { return fontPath_; }

 private:
  std::string fontPath_;
  std::unique_ptr<ScopedEnv> env_;
};

}  // namespace lumora::test
