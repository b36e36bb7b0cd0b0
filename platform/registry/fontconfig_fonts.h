// TrueType faces known to fontconfig, looked up by font registry value name.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace lumora::registry {

struct FaceStyle {
  std::string family;
  bool bold = false;
  bool italic = false;
};

// "Arial Bold Italic (TrueType)" -> Arial, bold, italic; nullopt without " (TrueType)".
std::optional<FaceStyle> parseFontValueName(std::string_view valueName);

// One fontconfig configuration, loaded when constructed (so FONTCONFIG_FILE is read then).
class FontconfigFonts {
 public:
  FontconfigFonts();
  ~FontconfigFonts();
  FontconfigFonts(const FontconfigFonts&) = delete;
  FontconfigFonts& operator=(const FontconfigFonts&) = delete;

  // The file of the TrueType face of exactly that family and style; nullopt when none.
  std::optional<std::string> fileOf(const FaceStyle& face);

 private:
  struct Config;
  std::unique_ptr<Config> config_;
};

}  // namespace lumora::registry
