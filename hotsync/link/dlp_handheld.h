// A handheld at the far end of a link: every Sync Manager operation becomes Desktop Link
// Protocol requests, and every answer the Sync Manager's result. Pure: the bytes go out
// and come back through the exchange function the caller gives.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>

#include "common/bytes.h"
#include "hotsync/api/handheld.h"
#include "hotsync/link/dlp_client.h"
#include "hotsync/link/dlp_functions.h"
#include "hotsync/link/sync_result.h"

namespace lumora::link {

class DlpHandheld final : public hotsync::Handheld {
 public:
  // Sends one request and returns the answer's bytes; nullopt when the link broke.
  using Exchange = DlpClient::Exchange;

  // What a HotSync changes on the handheld, told before the handheld is asked, so that
  // a HotSync that breaks off can be undone at the next one.
  struct Journal {
    // A database about to be created; true when the journal did not know it yet.
    std::function<bool(const std::string& name)> created;
    // The handheld refused to create it: it made nothing.
    std::function<void(const std::string& name)> notCreated;
    // Whether the old contents are wanted before name is deleted.
    std::function<bool(const std::string& name)> wantsCopy;
    // The old contents; false when they could not be kept.
    std::function<bool(const hotsync::Database& old)> deleting;
    // Every database was closed over a working link: the HotSync's changes are whole.
    std::function<void()> completed;
  };

  struct Options {
    // The handheld's DLP version (ReadSysInfo): FindDB exists from 1.2 on.
    uint16_t dlpMajor = 1;
    uint16_t dlpMinor = 2;
  };

  DlpHandheld(Exchange exchange, Options options);
  // From now on every create and delete is told to journal first.
  void setJournal(Journal journal) { journal_ = std::move(journal); }

  int32_t open(const char* name, int32_t card, uint8_t mode, uint8_t& handle) override;
  int32_t create(const SyncCreateParams& params, uint8_t& handle) override;
  int32_t close(uint8_t handle) override;
  int32_t remove(const char* name, int32_t card) override;
  int32_t readRecordByIndex(SyncRawRecordInfo& info) override;
  int32_t writeRecord(SyncRawRecordInfo& info) override;
  int32_t readAppInfo(uint8_t handle, SyncAppInfoRequest& request) override;
  int32_t writeAppInfo(uint8_t handle, const SyncAppInfoRequest& request) override;
  int32_t findByTypeCreator(const SyncSearchTypeCreator& search, SyncDbInfo& info) override;
  int32_t findByName(const SyncSearchName& search, SyncDbInfo& info) override;
  int32_t install(hotsync::Database db, std::string& reason) override;
  bool closeAll() override;

  // True once the link failed or the handheld answered out of turn; every later call
  // then fails with SYNC_ERR_NOT_CONNECTED. brokenReason() says why.
  bool broken() const { return broken_; }
  const std::string& brokenReason() const { return brokenReason_; }
  // An installed database asked for a reset of the handheld after the HotSync.
  bool resetRequested() const { return resetRequested_; }

 private:
  // Sends message and reads its answer into *answer (when given). The Sync Manager
  // result: 0, the mapped DLP error, or a code for a link or protocol failure.
  template <class Answer, class Message>
  int32_t call(const Message& message, SyncOperation operation, Answer* answer);
  int32_t fail(std::string reason);
  // FindDB with the attributes and sizes, into info.
  int32_t find(const dlp::FindDbRequest& request, SyncOperation operation, SyncDbInfo& info);
  int32_t findByListing(const SyncSearchTypeCreator& search, SyncDbInfo& info);
  // The whole database, to keep before it is deleted: SYNC_OK and db, SYNC_ERR_NOT_FOUND
  // when there is none, or another code when it cannot be read.
  int32_t readWhole(const std::string& name, hotsync::Database& db);

  DlpClient client_;
  Options options_;
  Journal journal_;
  bool broken_ = false;
  std::string brokenReason_;
  bool resetRequested_ = false;
  std::set<uint8_t> openHandles_;
  uint16_t listCursor_ = 0;  // ReadDBList search: next index
};

}  // namespace lumora::link
