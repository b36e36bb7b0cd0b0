// Who may HotSync with this desktop: the users it knows, each with the user ID of the
// handheld paired to it, and the rules that match a handheld to one of them before any
// conduit runs. Kept in the Windows folder:
//   HotSync/Users.txt      one user a line: "ID<TAB>LAST HOTSYNC<TAB>NAME", the name with
//                          bytes below 0x20, 0x7F and '%' written as %XX; ID "pair" marks a
//                          user waiting for the next handheld that says its name
//   HotSync/DesktopId.txt  this desktop's ID, a random 32-bit number made once
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lumora::host {

struct KnownUser {
  std::string name;
  uint32_t userId = 0;   // 0: no handheld paired yet
  bool pairing = false;  // the next handheld that says this name becomes this user's
  std::string lastSync;  // "YYYY-MM-DD HH:MM:SS" UTC; empty before the first HotSync
  bool operator==(const KnownUser&) const = default;
};

class UserList {
 public:
  // The list of the Windows folder; an absent file is an empty list. nullopt, with error
  // naming the file, when it cannot be read.
  static std::optional<UserList> load(std::string& error);
  // Written atomically; false, with error naming the file, when it cannot be.
  bool save(std::string& error) const;

  static std::optional<UserList> parse(std::string_view text);
  std::string format() const;

  const KnownUser* byId(uint32_t userId) const;
  KnownUser* byName(std::string_view name);
  const KnownUser* byName(std::string_view name) const;
  // The user of that name, added when missing.
  KnownUser& named(std::string_view name);
  bool remove(std::string_view name);
  const std::vector<KnownUser>& users() const { return users_; }

 private:
  std::vector<KnownUser> users_;
};

std::string userListFile();

// This desktop's ID, made (random, never 0) and kept at the first call; nullopt, with
// error naming the file, when it can neither be read nor kept.
std::optional<uint32_t> desktopId(std::string& error);

// A random user ID, never 0.
uint32_t randomUserId();

// How the handheld reached this desktop.
struct MatchRules {
  bool localPeer = true;        // USB, a serial line, a pseudo-terminal, 127.0.0.1
  bool acceptNewUsers = false;  // serve --accept-new-users
};

struct Match {
  enum class Verdict { Known, NewOrPaired, Refused };
  Verdict verdict = Verdict::Refused;
  std::string user;         // whose HotSync this is
  uint32_t newUserId = 0;   // not 0: written to the handheld, which had none
  uint32_t recordedId = 0;  // the user ID the list keeps for user after the HotSync
  std::string refusal;      // Refused: the line for the desktop and the handheld's log
};

// Matches the handheld's user ID and name (the name given on the command line instead,
// when there is one) to a user of list. newId makes fresh user IDs.
Match matchHandheld(const UserList& list, uint32_t handheldId, const std::string& name,
                    const MatchRules& rules, const std::function<uint32_t()>& newId);

// After a HotSync that ran: the user holds its handheld's ID, no longer waits for a pairing,
// and was synced at now ("YYYY-MM-DD HH:MM:SS").
void recordHotSync(UserList& list, const Match& match, const std::string& now);

// recordHotSync on the list as it is now (a 'users' command may have changed it during the
// HotSync), saved. False, with error, when it could not be.
bool rememberHotSync(const Match& match, std::string& error);

// The UTC time as the list keeps it.
std::string userListTime();

}  // namespace lumora::host
