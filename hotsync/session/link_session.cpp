#include "hotsync/session/link_session.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

#include "hotsync/api/hotsync_host.h"
#include "hotsync/format/handheld_clock.h"
#include "hotsync/link/dlp_client.h"
#include "hotsync/link/dlp_functions.h"
#include "hotsync/session/hotsync_run.h"
#include "hotsync/session/sync_status.h"
#include "hotsync/session/user_list.h"

namespace lumora::host {
namespace {

using namespace link;
using namespace link::dlp;

// The desktop's end of the DLP: one request out, its answer back.
class SessionLink {
 public:
  SessionLink(link::MessageLink& link, int timeoutMs)
      : link_(link),
        timeoutMs_(timeoutMs),
        client_([this](ByteView request) { return exchange(request); }) {}
  // The client calls back into this object.
  SessionLink(const SessionLink&) = delete;
  SessionLink& operator=(const SessionLink&) = delete;

  std::optional<Bytes> exchange(ByteView request) {
    if (broken_) return std::nullopt;
    if (!link_.send(request)) return breakOff("the handheld cannot be reached");
    link::LinkMessage answer = link_.receive(timeoutMs_);
    statusLinkBytes(request.size() + answer.message.size());
    switch (answer.status) {
      case link::StreamStatus::Ok:
        return std::move(answer.message);
      case link::StreamStatus::Timeout:
        return breakOff("the handheld did not answer within " + std::to_string(timeoutMs_ / 1000) +
                        " s");
      case link::StreamStatus::Closed:
        hungUp_ = true;
        return breakOff("the handheld closed the connection");
      case link::StreamStatus::Failed:
        return breakOff(answer.error.empty() ? "the link broke" : answer.error);
    }
    return std::nullopt;
  }

  // A typed request and its answer; nullopt (and error()) when it failed or was refused.
  template <class Answer, class Message>
  std::optional<Answer> ask(const Message& message, uint16_t* dlpError = nullptr) {
    link::DlpReply<Answer> reply = client_.call<Answer>(message);
    switch (reply.status) {
      case link::DlpCallStatus::BadRequest:
        error_ = reply.error;
        return std::nullopt;
      case link::DlpCallStatus::LinkBroke:
        return std::nullopt;
      case link::DlpCallStatus::Malformed:
        breakOff("the handheld's answer is malformed: " + reply.error);
        return std::nullopt;
      case link::DlpCallStatus::Answered:
        break;
    }
    if (dlpError) *dlpError = reply.dlpError;
    if (!reply.answer) {
      if (reply.dlpError == kErrNone || reply.function != Message::kFunction)
        breakOff("the handheld's answer is malformed: " + reply.answerError);
      else
        error_ = reply.answerError;
      return std::nullopt;
    }
    return std::move(reply.answer);
  }

  bool broken() const { return broken_; }
  // The link broke by the handheld hanging up after a request had been sent whole.
  bool hungUp() const { return hungUp_; }
  const std::string& error() const { return error_; }

  // The C API's exchange: the answer stays in this client until the next call.
  static int32_t exchangeForApi(void* context, const uint8_t* request, uint32_t size,
                                const uint8_t** answer, uint32_t* answerSize) {
    auto* self = static_cast<SessionLink*>(context);
    auto reply = self->exchange(ByteView(request, size));
    if (!reply) return 1;
    self->lastAnswer_ = std::move(*reply);
    *answer = self->lastAnswer_.data();
    *answerSize = static_cast<uint32_t>(self->lastAnswer_.size());
    return 0;
  }

 private:
  std::nullopt_t breakOff(std::string why) {
    if (!broken_) error_ = std::move(why);
    broken_ = true;
    return std::nullopt;
  }

  link::MessageLink& link_;
  int timeoutMs_;
  bool broken_ = false;
  bool hungUp_ = false;
  std::string error_;
  Bytes lastAnswer_;
  link::DlpClient client_;
};

// The handheld's date for "now" (UTC): the fixed time when there is one, so that runs
// compare. Converted by hand: the days-to-civil-date rule needs no C library call that
// differs between hosts.
Date handheldNow(std::optional<uint32_t> fixedTime) {
  int64_t now = static_cast<int64_t>(std::time(nullptr));
  if (fixedTime) now = static_cast<int64_t>(*fixedTime) - hotsync::kSecondsFrom1904To1970;
  if (now < 0) now = 0;
  const int64_t days = now / 86400, seconds = now % 86400;
  const int64_t z = days + 719468, era = z / 146097, doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const int64_t month = mp < 10 ? mp + 3 : mp - 9;
  Date date;
  date.year = static_cast<uint16_t>(yoe + era * 400 + (month <= 2 ? 1 : 0));
  date.month = static_cast<uint8_t>(month);
  date.day = static_cast<uint8_t>(doy - (153 * mp + 2) / 5 + 1);
  date.hour = static_cast<uint8_t>(seconds / 3600);
  date.minute = static_cast<uint8_t>(seconds / 60 % 60);
  date.second = static_cast<uint8_t>(seconds % 60);
  return date;
}

// What the handheld shows in its own HotSync log: the desktop's lines of this HotSync.
struct Summary {
  std::vector<std::string> lines;
  static void observe(const char* text, int32_t activity, void* context) {
    printLogEntry(text, activity, nullptr);
    static_cast<Summary*>(context)->lines.emplace_back(text);
  }
  // closing, when given, is the last line whatever the length of the others.
  std::string text(const std::string& user, const std::string& closing = {}) const {
    constexpr size_t kMaxBytes = 1024;  // a screenful or two on the handheld
    const size_t room =
        closing.empty() ? kMaxBytes : kMaxBytes - std::min(closing.size() + 1, kMaxBytes / 2);
    std::string out = "Lumora HotSync of " + user + "\n";
    for (const std::string& line : lines) {
      if (out.size() + line.size() + 1 > room) {
        out += "...\n";
        break;
      }
      out += line + "\n";
    }
    if (!closing.empty()) out += closing.substr(0, kMaxBytes / 2 - 1) + "\n";
    return out;
  }
};

// Ends the session on the handheld; the result of the session is decided already.
void endOfSync(SessionLink& client, uint16_t status) {
  client.ask<EndOfSyncAnswer>(EndOfSyncRequest{status});
}

// A HotSync that could not run: the reason goes into the handheld's HotSync log too, so
// that its owner sees why, then the session ends.
void failOnHandheld(SessionLink& client, const std::string& logText) {
  if (client.broken()) return;
  client.ask<AddSyncLogEntryAnswer>(AddSyncLogEntryRequest{logText});
  endOfSync(client, EndOfSyncRequest::kOther);
}

}  // namespace

LinkSessionResult runLinkSession(link::MessageLink& link, const LinkSessionOptions& options) {
  LinkSessionResult result;
  StatusDisplay status(options.quiet);
  SessionLink client(link, options.timeoutMs);

  auto userInfo = client.ask<UserInfo>(ReadUserInfoRequest{});
  if (!userInfo) {
    result.error = "cannot read the handheld's user: " + client.error();
    if (!client.broken()) endOfSync(client, EndOfSyncRequest::kOther);
    return result;
  }
  result.user = options.user ? *options.user : userInfo->name;
  if (result.user.empty()) {
    result.error =
        "the handheld has no user name: give it one on the handheld, or name the HotSync user "
        "with --user";
    failOnHandheld(client, Summary{}.text("(no user name)", "HotSync failed: " + result.error));
    return result;
  }

  // Matched before anything of the handheld is read: a refused one is told why and left
  // as it was.
  std::string listError;
  auto thisDesktop = desktopId(listError);
  auto users = thisDesktop ? UserList::load(listError) : std::nullopt;
  if (!users) {
    result.error = listError;
    failOnHandheld(client, Summary{}.text(result.user, "HotSync failed: " + result.error));
    return result;
  }
  const Match match = matchHandheld(*users, userInfo->userId, result.user,
                                    {options.peerIsLocal, options.acceptNewUsers}, randomUserId);
  if (match.verdict == Match::Verdict::Refused) {
    result.error = match.refusal;
    failOnHandheld(client, match.refusal);
    return result;
  }
  result.user = match.user;

  ReadSysInfoRequest sysRequest;
  sysRequest.hostMajor = 1;
  sysRequest.hostMinor = 2;
  auto sysInfo = client.ask<SysInfo>(sysRequest);
  if (!sysInfo) {
    result.error = "cannot read the handheld's system information: " + client.error();
    if (!client.broken()) endOfSync(client, EndOfSyncRequest::kOther);
    return result;
  }
  // Handhelds without the DLP version argument speak DLP 1.1 or older.
  uint16_t major = sysInfo->dlp ? sysInfo->dlp->major : 1;
  uint16_t minor = sysInfo->dlp ? sysInfo->dlp->minor : 1;
  statusBeforeLine();
  std::printf("HotSync of %s: handheld ROM 0x%08X, DLP %u.%u\n", result.user.c_str(),
              static_cast<unsigned>(sysInfo->romVersion), major, minor);

  Summary summary;
  HsSetLogObserver(&Summary::observe, &summary);
  if (int32_t r =
          HsConnectLink(&SessionLink::exchangeForApi, &client, result.user.c_str(), major, minor);
      r != 0) {
    result.error =
        "cannot connect the handheld for user " + result.user + " (code " + std::to_string(r) + ")";
    HsSetLogObserver(printLogEntry, nullptr);
    failOnHandheld(client, summary.text(result.user, "HotSync failed: " + result.error));
    return result;
  }
  // The summary's observer must not outlive it.
  struct Disconnect {
    ~Disconnect() {
      HsDisconnect();
      HsSetLogObserver(printLogEntry, nullptr);
    }
  } disconnectOnEveryPath;

  int32_t installed = HsInstallQueued(result.user.c_str(), printReject, nullptr);
  statusBeforeLine();
  if (installed > 0) std::printf("installed %d queued file(s)\n", static_cast<int>(installed));

  const uint32_t syncType = chooseSyncType(result.user, options.syncType);
  uint16_t openError = kErrNone;
  client.ask<OpenConduitAnswer>(OpenConduitRequest{}, &openError);
  if (client.broken()) {
    result.error = "the HotSync broke off: " + client.error();
    return result;
  }
  if (openError == kErrCancelSync) {
    result.error = "the HotSync was cancelled on the handheld";
    endOfSync(client, EndOfSyncRequest::kCancelled);
    return result;
  }
  std::string error;
  if (!runRegisteredConduit(syncType, error)) {
    result.error = error;
    HsDisconnect();
    failOnHandheld(client, summary.text(result.user, "HotSync failed: " + error));
    return result;
  }
  const bool reset = HsResetRequested() != 0;
  HsDisconnect();
  status.finish();
  if (client.broken()) {
    result.error = "the HotSync broke off: " + client.error();
    return result;
  }

  client.ask<AddSyncLogEntryAnswer>(AddSyncLogEntryRequest{summary.text(result.user)});
  // The handheld learns which desktop it synced with last and, when it had none, its ID.
  WriteUserInfoRequest written;
  written.userId = match.newUserId ? match.newUserId : userInfo->userId;
  written.viewerId = userInfo->viewerId;
  written.lastSyncPc = *thisDesktop;
  written.lastSync = handheldNow(options.handheldTime);
  written.modFlags = WriteUserInfoRequest::kSyncDate | WriteUserInfoRequest::kSyncPc |
                     (match.newUserId ? WriteUserInfoRequest::kUserId : 0);
  client.ask<WriteUserInfoAnswer>(written);
  if (reset) client.ask<ResetSystemAnswer>(ResetSystemRequest{});
  // A handheld that leaves (a USB device going off the bus) may hang up before its answer
  // to EndOfSync arrives: once that was sent whole, the HotSync has ended normally.
  const bool brokenBefore = client.broken();
  endOfSync(client, EndOfSyncRequest::kNormal);
  if (client.broken() && (brokenBefore || !client.hungUp())) {
    result.error = "the HotSync broke off at its end: " + client.error();
    return result;
  }
  finishNextAction(result.user, options.syncType);
  if (!rememberHotSync(match, listError)) std::printf("lumora-hotsync: %s\n", listError.c_str());
  result.ran = true;
  return result;
}

}  // namespace lumora::host
