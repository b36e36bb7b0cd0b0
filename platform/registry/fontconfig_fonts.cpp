#include "platform/registry/fontconfig_fonts.h"

#include <dlfcn.h>
#include <fontconfig/fontconfig.h>

#include <cstdlib>
#include <tuple>

namespace lumora::registry {

struct FontconfigFonts::Config {
  FcConfig* config = nullptr;
};

std::optional<FaceStyle> parseFontValueName(std::string_view valueName) {
  constexpr std::string_view kTrueType = " (TrueType)";
  if (!valueName.ends_with(kTrueType)) return std::nullopt;
  std::string_view face = valueName.substr(0, valueName.size() - kTrueType.size());
  FaceStyle out;
  if (face.ends_with(" Bold Italic")) {
    out.bold = out.italic = true;
    face.remove_suffix(12);
  } else if (face.ends_with(" Bold")) {
    out.bold = true;
    face.remove_suffix(5);
  } else if (face.ends_with(" Italic")) {
    out.italic = true;
    face.remove_suffix(7);
  }
  if (face.empty()) return std::nullopt;
  out.family = std::string(face);
  return out;
}

namespace {

// fontconfig keeps process-wide state that it never frees; unloading it with the library
// that loaded it would strand that state. Once used, it stays loaded.
void keepFontconfigLoaded() {
  static const bool kept = [] {
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void*>(&FcInitLoadConfigAndFonts), &info) || !info.dli_fname)
      return false;
    return dlopen(info.dli_fname, RTLD_LAZY | RTLD_NOLOAD | RTLD_NODELETE) != nullptr;
  }();
  (void)kept;
}

}  // namespace

FontconfigFonts::FontconfigFonts() : config_(std::make_unique<Config>()) {
  keepFontconfigLoaded();
  config_->config = FcInitLoadConfigAndFonts();
}

FontconfigFonts::~FontconfigFonts() {
  if (config_->config) FcConfigDestroy(config_->config);
}

std::optional<std::string> FontconfigFonts::fileOf(const FaceStyle& face) {
  if (!config_->config) return std::nullopt;
  FcPattern* pattern = FcPatternCreate();
  if (!pattern) return std::nullopt;
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(face.family.c_str()));
  FcPatternAddString(pattern, FC_FONTFORMAT, reinterpret_cast<const FcChar8*>("TrueType"));
  FcObjectSet* objects = FcObjectSetBuild(FC_FILE, FC_WEIGHT, FC_SLANT, FC_WIDTH, FC_INDEX,
                                          static_cast<char*>(nullptr));
  FcFontSet* set = objects ? FcFontList(config_->config, pattern, objects) : nullptr;

  // Among the faces of the family with the asked weight class and slant, the one nearest to
  // regular or bold weight and to normal width; ties go to the lower file name.
  const int targetWeight = face.bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR;
  std::optional<std::tuple<int, int, std::string>> best;
  for (int i = 0; set && i < set->nfont; ++i) {
    FcPattern* font = set->fonts[i];
    FcChar8* file = nullptr;
    int weight = FC_WEIGHT_REGULAR, slant = FC_SLANT_ROMAN, width = FC_WIDTH_NORMAL, index = 0;
    if (FcPatternGetString(font, FC_FILE, 0, &file) != FcResultMatch || !file) continue;
    FcPatternGetInteger(font, FC_WEIGHT, 0, &weight);
    FcPatternGetInteger(font, FC_SLANT, 0, &slant);
    FcPatternGetInteger(font, FC_WIDTH, 0, &width);
    FcPatternGetInteger(font, FC_INDEX, 0, &index);
    if (index != 0) continue;  // a face inside a collection is no file of its own
    const bool bold = weight >= FC_WEIGHT_DEMIBOLD;
    const bool italic = slant != FC_SLANT_ROMAN;
    if (bold != face.bold || italic != face.italic) continue;
    auto candidate =
        std::make_tuple(std::abs(weight - targetWeight), std::abs(width - FC_WIDTH_NORMAL),
                        std::string(reinterpret_cast<const char*>(file)));
    if (!best || candidate < *best) best = std::move(candidate);
  }
  if (set) FcFontSetDestroy(set);
  if (objects) FcObjectSetDestroy(objects);
  FcPatternDestroy(pattern);
  if (!best) return std::nullopt;
  return std::get<2>(*best);
}

}  // namespace lumora::registry
