// A handheld at the far end of a link: every Sync Manager operation becomes Desktop Link
// Protocol requests, and every answer the Sync Manager's result. Pure: the bytes go out
// and come back through the exchange function the caller gives.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>

#include "common/bytes.h"
#include "hotsync/api/handheld.h"
#include "hotsync/link/sync_result.h"

namespace lumora::link {

class DlpHandheld final : public hotsync::Handheld {
 public:
  // Sends one request and returns the answer's bytes; nullopt when the link broke.
  using Exchange = std::function<std::optional<Bytes>(ByteView request)>;

  // What the handheld's databases go through while they are written, so that one left
  // half-written by a broken link can be removed at the next HotSync.
  struct Journal {
    std::function<void(const std::string& name)> created;   // before the first write
    std::function<void(const std::string& name)> finished;  // closed, or deleted
  };

  struct Options {
    // The handheld's DLP version (ReadSysInfo): FindDB exists from 1.2 on.
    uint16_t dlpMajor = 1;
    uint16_t dlpMinor = 2;
    Journal journal;
  };

  DlpHandheld(Exchange exchange, Options options);

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
  int32_t findByListing(const SyncSearchTypeCreator& search, SyncDbInfo& info);

  Exchange exchange_;
  Options options_;
  bool broken_ = false;
  std::string brokenReason_;
  bool resetRequested_ = false;
  std::set<uint8_t> openHandles_;
  std::map<uint8_t, std::string> createdHandles_;  // handle -> name, until closed
  uint16_t listCursor_ = 0;                        // ReadDBList search: next index
};

}  // namespace lumora::link
