// The handheld's end of the Desktop Link Protocol: each request the desktop sends is
// answered from a Handheld (the folder store), as a Palm OS 4/5 handheld with DLP 1.2
// would. Pure: request bytes in, answer bytes out. Every request is hostile until read; one
// that cannot be read gets an error answer, never a crash.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "common/bytes.h"
#include "hotsync/api/handheld.h"
#include "hotsync/link/dlp_functions.h"

namespace lumora::link {

// What ReadUserInfo reports and WriteUserInfo changes; kept by the handheld between syncs.
struct HandheldUser {
  uint32_t userId = 0, viewerId = 0, lastSyncPc = 0;
  dlp::Date lastSuccessfulSync, lastSync;
  std::string name;  // empty: the handheld has no user yet
  bool operator==(const HandheldUser&) const = default;
};

class DlpServer {
 public:
  // The text of all AddSyncLogEntry requests together stops growing here.
  static constexpr size_t kMaxSyncLog = 64 * 1024;

  DlpServer(hotsync::Handheld& handheld, HandheldUser user);

  // The answer packet for one request packet.
  Bytes answer(ByteView request);
  // The same on decoded packets.
  Response answer(const Request& request);

  // EndOfSync was answered: the session is over and every database was closed.
  bool ended() const { return ended_; }
  // False when a database could not be written at EndOfSync (the answer said so too).
  bool wroteAll() const { return wroteAll_; }
  // The user as the desktop left it (WriteUserInfo).
  const HandheldUser& user() const { return user_; }
  // What AddSyncLogEntry sent, in order.
  const std::string& syncLog() const { return syncLog_; }
  bool resetRequested() const { return reset_; }

 private:
  Response readUserInfo();
  Response writeUserInfo(const dlp::WriteUserInfoRequest& q);
  Response readSysInfo(const dlp::ReadSysInfoRequest& q);
  Response readDbList(const dlp::ReadDbListRequest& q);
  Response openDb(const dlp::OpenDbRequest& q);
  Response createDb(const dlp::CreateDbRequest& q);
  Response closeDb(const dlp::CloseDbRequest& q);
  Response deleteDb(const dlp::DeleteDbRequest& q);
  Response readAppBlock(const dlp::ReadAppBlockRequest& q);
  Response writeAppBlock(dlp::WriteAppBlockRequest& q);
  Response readRecord(const dlp::ReadRecordRequest& q);
  Response writeRecord(dlp::WriteRecordRequest& q);
  Response readOpenDbInfo(const dlp::ReadOpenDbInfoRequest& q);
  Response addSyncLogEntry(const dlp::AddSyncLogEntryRequest& q);
  Response endOfSync(const dlp::EndOfSyncRequest& q);
  Response findDb(const dlp::FindDbRequest& q);

  hotsync::Handheld& handheld_;
  HandheldUser user_;
  std::map<uint8_t, std::string> open_;  // handle -> database name
  std::string syncLog_;
  bool ended_ = false;
  bool wroteAll_ = true;
  bool reset_ = false;
};

}  // namespace lumora::link
