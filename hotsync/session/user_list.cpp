#include "hotsync/session/user_list.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <ctime>
#include <random>
#include <utility>

#include "platform/files/atomic_files.h"
#include "platform/files/paths.h"

namespace lumora::host {
namespace {

constexpr uint64_t kMaxListBytes = 4 << 20;
constexpr const char* kPairing = "pair";

std::string hotSyncFolder() {
  return paths::windowsFolder() + "/HotSync";
}

std::string idFile() {
  return hotSyncFolder() + "/DesktopId.txt";
}

std::optional<uint32_t> number(std::string_view text) {
  uint32_t v = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return v;
}

std::string escapeName(std::string_view name) {
  std::string out;
  for (unsigned char c : name) {
    if (c < 0x20 || c == 0x7F || c == '%') {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", c);
      out += hex;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::optional<std::string> unescapeName(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out += text[i];
      continue;
    }
    uint8_t v = 0;
    if (i + 2 >= text.size()) return std::nullopt;
    auto [end, ec] = std::from_chars(text.data() + i + 1, text.data() + i + 3, v, 16);
    if (ec != std::errc() || end != text.data() + i + 3) return std::nullopt;
    out += static_cast<char>(v);
    i += 2;
  }
  return out;
}

std::string readText(const std::string& path, bool& missing, std::string& error) {
  missing = !files::exists(path);
  if (missing) return {};
  auto read = files::readFile(path, kMaxListBytes);
  if (!read.bytes) {
    error = "cannot read " + path + ": " + read.error;
    return {};
  }
  return std::string(read.bytes->begin(), read.bytes->end());
}

bool writeText(const std::string& path, const std::string& text, std::string& error) {
  if (!files::makeFolders(hotSyncFolder()) ||
      !files::writeFileAtomic(
          path, ByteView(reinterpret_cast<const uint8_t*>(text.data()), text.size()), true)) {
    error = "cannot write " + path;
    return false;
  }
  return true;
}

}  // namespace

std::string userListFile() {
  return hotSyncFolder() + "/Users.txt";
}

std::optional<UserList> UserList::parse(std::string_view text) {
  UserList list;
  while (!text.empty()) {
    size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    if (line.empty() || line[0] == '#') continue;
    size_t tab1 = line.find('\t');
    size_t tab2 = tab1 == std::string_view::npos ? tab1 : line.find('\t', tab1 + 1);
    if (tab2 == std::string_view::npos) return std::nullopt;
    KnownUser user;
    std::string_view id = line.substr(0, tab1);
    user.pairing = id == kPairing;
    if (!user.pairing) {
      auto v = number(id);
      if (!v) return std::nullopt;
      user.userId = *v;
    }
    user.lastSync = line.substr(tab1 + 1, tab2 - tab1 - 1);
    auto name = unescapeName(line.substr(tab2 + 1));
    if (!name || name->empty() || list.byName(*name)) return std::nullopt;
    user.name = *name;
    list.users_.push_back(std::move(user));
  }
  return list;
}

std::string UserList::format() const {
  std::string out =
      "# HotSync users of this desktop: handheld user ID (or 'pair'), last HotSync (UTC), "
      "name\n";
  for (const KnownUser& u : users_)
    out += (u.pairing ? std::string(kPairing) : std::to_string(u.userId)) + "\t" + u.lastSync +
           "\t" + escapeName(u.name) + "\n";
  return out;
}

std::optional<UserList> UserList::load(std::string& error) {
  const std::string path = userListFile();
  bool missing = false;
  std::string text = readText(path, missing, error);
  if (missing) return UserList{};
  if (!error.empty()) return std::nullopt;
  auto list = parse(text);
  if (!list) error = path + " is damaged: fix or remove it";
  return list;
}

bool UserList::save(std::string& error) const {
  return writeText(userListFile(), format(), error);
}

const KnownUser* UserList::byId(uint32_t userId) const {
  if (userId == 0) return nullptr;
  for (const KnownUser& u : users_)
    if (u.userId == userId) return &u;
  return nullptr;
}

const KnownUser* UserList::byName(std::string_view name) const {
  for (const KnownUser& u : users_)
    if (u.name == name) return &u;
  return nullptr;
}

KnownUser* UserList::byName(std::string_view name) {
  return const_cast<KnownUser*>(std::as_const(*this).byName(name));
}

KnownUser& UserList::named(std::string_view name) {
  if (KnownUser* u = byName(name)) return *u;
  KnownUser user;
  user.name = name;
  users_.push_back(std::move(user));
  return users_.back();
}

bool UserList::remove(std::string_view name) {
  auto it = std::find_if(users_.begin(), users_.end(),
                         [&](const KnownUser& u) { return u.name == name; });
  if (it == users_.end()) return false;
  users_.erase(it);
  return true;
}

uint32_t randomUserId() {
  static std::random_device device;
  uint32_t id = 0;
  while (id == 0) id = device();
  return id;
}

std::optional<uint32_t> desktopId(std::string& error) {
  const std::string path = idFile();
  bool missing = false;
  std::string text = readText(path, missing, error);
  if (!missing) {
    if (!error.empty()) return std::nullopt;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    auto id = number(text);
    if (id && *id != 0) return id;
    error = path + " does not hold a desktop ID: remove it to get a new one";
    return std::nullopt;
  }
  const uint32_t id = randomUserId();
  if (!writeText(path, std::to_string(id) + "\n", error)) return std::nullopt;
  return id;
}

Match matchHandheld(const UserList& list, uint32_t handheldId, const std::string& name,
                    const MatchRules& rules, const std::function<uint32_t()>& newId) {
  Match m;
  if (const KnownUser* known = list.byId(handheldId)) {
    m.verdict = Match::Verdict::Known;
    m.user = known->name;
    m.recordedId = handheldId;
    return m;
  }
  m.user = name;
  const KnownUser* named = list.byName(name);
  const bool pairing = named && named->pairing;
  if (!pairing && named && named->userId != 0 && handheldId != 0) {
    m.refusal = "refused the HotSync of " + name + ": its handheld's user ID " +
                std::to_string(handheldId) + " is not the one this desktop knows for " + name +
                "; to accept this handheld, run 'lumora-hotsync users pair " + name +
                "' and HotSync again";
    return m;
  }
  if (!pairing && !rules.localPeer && !rules.acceptNewUsers) {
    m.refusal = "refused the HotSync of " + name +
                ": a handheld this desktop does not know, over the network; to accept it, run "
                "'lumora-hotsync users pair " +
                name + "' (or start serve with --accept-new-users) and HotSync again";
    return m;
  }
  m.verdict = Match::Verdict::NewOrPaired;
  if (handheldId == 0) {
    do {
      m.newUserId = newId();
    } while (m.newUserId == 0 || list.byId(m.newUserId));
  }
  m.recordedId = handheldId != 0 ? handheldId : m.newUserId;
  return m;
}

void recordHotSync(UserList& list, const Match& match, const std::string& now) {
  KnownUser& user = list.named(match.user);
  user.userId = match.recordedId;
  user.pairing = false;
  user.lastSync = now;
}

bool rememberHotSync(const Match& match, std::string& error) {
  auto list = UserList::load(error);
  if (!list) return false;
  recordHotSync(*list, match, userListTime());
  return list->save(error);
}

std::string userListTime() {
  std::time_t now = std::time(nullptr);
  std::tm utc{};
#if defined(_WIN32)
  gmtime_s(&utc, &now);
#else
  gmtime_r(&now, &utc);
#endif
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &utc);
  return text;
}

}  // namespace lumora::host
