#include "platform/files/paths.h"

#include <cctype>
#include <cstdlib>

namespace lumora::paths {
namespace {

std::string env(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

std::string homeFolder() {
  std::string home = env("HOME");
  return home.empty() ? std::string("/tmp") : home;
}

std::string withoutTrailingSlash(std::string s) {
  while (s.size() > 1 && s.back() == '/') s.pop_back();
  return s;
}

}  // namespace

std::string windowsFolder() {
  std::string dir = env("LUMORA_WINDOWS_DIR");
  if (!dir.empty()) return withoutTrailingSlash(dir);
  std::string config = env("XDG_CONFIG_HOME");
  if (config.empty()) config = homeFolder() + "/.config";
  return withoutTrailingSlash(config) + "/lumora";
}

std::string driveFolder(char letter) {
  char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(letter)));
  if (lower == 'c') {
    std::string c = env("LUMORA_DRIVE_C");
    if (!c.empty()) return withoutTrailingSlash(c);
  }
  std::string base = env("LUMORA_DRIVE_C");
  if (!base.empty()) {
    // Other drives sit beside drive C.
    base = withoutTrailingSlash(base);
    auto slash = base.rfind('/');
    std::string parent = slash == std::string::npos ? "." : base.substr(0, slash);
    return parent + "/drive_" + lower;
  }
  std::string data = env("XDG_DATA_HOME");
  if (data.empty()) data = homeFolder() + "/.local/share";
  return withoutTrailingSlash(data) + "/lumora/drive_" + lower;
}

std::string toHostPath(std::string_view p) {
  std::string out;
  size_t rest = 0;
  if (p.size() >= 2 && std::isalpha(static_cast<unsigned char>(p[0])) && p[1] == ':') {
    out = driveFolder(p[0]);
    rest = 2;
    if (rest < p.size() && p[rest] != '\\' && p[rest] != '/') out += '/';
  }
  for (size_t i = rest; i < p.size(); ++i) out += (p[i] == '\\') ? '/' : p[i];
  if (out.empty()) out = ".";
  return out;
}

std::string tempFolder() {
  std::string t = env("TMPDIR");
  if (t.empty()) t = "/tmp";
  if (t.back() != '/') t += '/';
  return t;
}

}  // namespace lumora::paths
