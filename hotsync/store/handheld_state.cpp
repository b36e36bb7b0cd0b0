#include "hotsync/store/handheld_state.h"

#include <charconv>
#include <cstdio>
#include <optional>

#include "platform/files/atomic_files.h"

namespace lumora::host {
namespace {

std::optional<uint32_t> number(std::string_view text) {
  uint32_t v = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return v;
}

// "YYYY-MM-DD HH:MM:SS"
std::optional<link::dlp::Date> date(std::string_view text) {
  if (text.size() != 19 || text[4] != '-' || text[7] != '-' || text[10] != ' ' || text[13] != ':' ||
      text[16] != ':')
    return std::nullopt;
  auto year = number(text.substr(0, 4)), month = number(text.substr(5, 2)),
       day = number(text.substr(8, 2)), hour = number(text.substr(11, 2)),
       minute = number(text.substr(14, 2)), second = number(text.substr(17, 2));
  if (!year || !month || !day || !hour || !minute || !second) return std::nullopt;
  return link::dlp::Date{static_cast<uint16_t>(*year),
                         static_cast<uint8_t>(*month),
                         static_cast<uint8_t>(*day),
                         static_cast<uint8_t>(*hour),
                         static_cast<uint8_t>(*minute),
                         static_cast<uint8_t>(*second),
                         0};
}

std::string formatDate(const link::dlp::Date& d) {
  char text[32];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", unsigned{d.year} % 10000,
                d.month % 100u, d.day % 100u, d.hour % 100u, d.minute % 100u, d.second % 100u);
  return text;
}

}  // namespace

link::HandheldUser parseHandheldState(std::string_view text) {
  link::HandheldUser user;
  while (!text.empty()) {
    size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    size_t eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    std::string_view key = line.substr(0, eq), value = line.substr(eq + 1);
    if (key == "Name") {
      // A handheld's user name is at most 40 bytes with its zero.
      if (value.size() < 41) user.name = value;
    } else if (key == "UserId") {
      user.userId = number(value).value_or(0);
    } else if (key == "ViewerId") {
      user.viewerId = number(value).value_or(0);
    } else if (key == "LastSyncPc") {
      user.lastSyncPc = number(value).value_or(0);
    } else if (key == "LastSync") {
      user.lastSync = date(value).value_or(link::dlp::Date{});
    } else if (key == "LastSuccessfulSync") {
      user.lastSuccessfulSync = date(value).value_or(link::dlp::Date{});
    }
  }
  return user;
}

std::string formatHandheldState(const link::HandheldUser& user) {
  // Names with a line break cannot be kept in this format; such a name is dropped.
  bool nameFits = user.name.find_first_of("\r\n") == std::string::npos;
  return "# The simulated handheld's user, kept by lumora-handheld.\n[User]\nName=" +
         (nameFits ? user.name : std::string()) + "\nUserId=" + std::to_string(user.userId) +
         "\nViewerId=" + std::to_string(user.viewerId) +
         "\nLastSyncPc=" + std::to_string(user.lastSyncPc) +
         "\nLastSync=" + formatDate(user.lastSync) +
         "\nLastSuccessfulSync=" + formatDate(user.lastSuccessfulSync) + "\n";
}

link::HandheldUser loadHandheldState(const std::string& path) {
  auto read = files::readFile(path, 64 * 1024);
  if (!read.bytes) return {};
  return parseHandheldState(
      std::string_view(reinterpret_cast<const char*>(read.bytes->data()), read.bytes->size()));
}

bool saveHandheldState(const std::string& path, const link::HandheldUser& user) {
  std::string text = formatHandheldState(user);
  ByteView bytes(reinterpret_cast<const uint8_t*>(text.data()), text.size());
  return files::writeFileAtomic(path, bytes, /*replace=*/true);
}

}  // namespace lumora::host
