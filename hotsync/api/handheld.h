// What stands behind the Sync Manager: a handheld, whether the folder store on this
// machine or a real handheld at the far end of a link. Every operation returns a Sync
// Manager code of hotsync.h and fills its out-arguments exactly as the C API documents.
#pragma once

#include <cstdint>
#include <string>

#include "hotsync/api/hotsync.h"
#include "hotsync/format/pdb_file.h"

namespace lumora::hotsync {

class Handheld {
 public:
  virtual ~Handheld() = default;

  virtual int32_t open(const char* name, int32_t card, uint8_t mode, uint8_t& handle) = 0;
  virtual int32_t create(const SyncCreateParams& params, uint8_t& handle) = 0;
  virtual int32_t close(uint8_t handle) = 0;
  virtual int32_t remove(const char* name, int32_t card) = 0;
  virtual int32_t readRecordByIndex(SyncRawRecordInfo& info) = 0;
  virtual int32_t writeRecord(SyncRawRecordInfo& info) = 0;
  virtual int32_t readAppInfo(uint8_t handle, SyncAppInfoRequest& request) = 0;
  virtual int32_t writeAppInfo(uint8_t handle, const SyncAppInfoRequest& request) = 0;
  virtual int32_t findByTypeCreator(const SyncSearchTypeCreator& search, SyncDbInfo& info) = 0;
  virtual int32_t findByName(const SyncSearchName& search, SyncDbInfo& info) = 0;

  // Stores db, replacing a database of the same name (the install aide's queue). 0, or a
  // code and a reason.
  virtual int32_t install(Database db, std::string& reason) = 0;
  // Closes every open database; false if one could not be written.
  virtual bool closeAll() = 0;
};

}  // namespace lumora::hotsync
