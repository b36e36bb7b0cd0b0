// The Sync Manager functions over the connected handheld.
#include <algorithm>
#include <bit>
#include <cstring>

#include "hotsync/api/hotsync.h"
#include "hotsync/api/session.h"

using lumora::hotsync::Call;

namespace {
constexpr uint32_t kConduitHandle = 0x4C6D4478;
}  // namespace

extern "C" {

// One conduit at a time holds the session, as in the HotSync Manager.
HOTSYNC_API int32_t SyncRegisterConduit(uint32_t* outHandle) {
  Call call("SyncRegisterConduit");
  if (call.fault) return *call.fault;
  if (auto code = call.notConnected()) return *code;
  if (!outHandle) return SYNC_ERR_BAD_ARG;
  if (call.s.registered) return SYNC_ERR_ALREADY_OPEN;
  call.s.registered = true;
  *outHandle = kConduitHandle;
  return SYNC_OK;
}

HOTSYNC_API int32_t SyncUnRegisterConduit(uint32_t handle) {
  Call call("SyncUnRegisterConduit");
  if (call.fault) return *call.fault;
  if (!call.s.registered || handle != kConduitHandle) return SYNC_ERR_BAD_ARG;
  call.s.registered = false;
  return SYNC_OK;
}

HOTSYNC_API int32_t SyncOpenDB(const char* name, int32_t card, uint8_t* outHandle, uint8_t mode) {
  Call call("SyncOpenDB");
  if (call.fault) return *call.fault;
  if (auto code = call.notConnected()) return *code;
  if (!name || !outHandle) return SYNC_ERR_BAD_ARG;
  return call.report(call.handheld().open(name, card, mode, *outHandle), "SyncOpenDB", name);
}

HOTSYNC_API int32_t SyncCreateDB(SyncCreateParams* params) {
  Call call("SyncCreateDB");
  if (call.fault) return *call.fault;
  if (auto code = call.notConnected()) return *code;
  if (!params) return SYNC_ERR_BAD_ARG;
  char name[sizeof params->name + 1] = {};
  std::memcpy(name, params->name, sizeof params->name);
  return call.report(call.handheld().create(*params, params->handle), "SyncCreateDB", name,
                     params->type);
}

HOTSYNC_API int32_t SyncCloseDB(uint8_t handle) {
  Call call("SyncCloseDB");
  if (call.fault) return *call.fault;
  if (auto code = call.notConnected()) return *code;
  return call.report(call.handheld().close(handle), "SyncCloseDB");
}

HOTSYNC_API int32_t SyncDeleteDB(const char* name, int32_t card) {
  Call call("SyncDeleteDB");
  if (call.fault) return *call.fault;
  if (auto code = call.notConnected()) return *code;
  if (!name) return SYNC_ERR_BAD_ARG;
  return call.handheld().remove(name, card);
}

HOTSYNC_API int32_t SyncReadRecordByIndex(SyncRawRecordInfo* info) {
  Call call("SyncReadRecordByIndex");
  if (call.fault) return *call.fault;
  if (auto code = call.notConnected()) return *code;
  if (!info) return SYNC_ERR_BAD_ARG;
  int32_t r = call.handheld().readRecordByIndex(*info);
  return call.report(r, "SyncReadRecordByIndex", nullptr, 0,
                     std::min<uint32_t>(info->recordSize, info->bufferCapacity));
}

HOTSYNC_API int32_t SyncWriteRec(SyncRawRecordInfo* info) {
  Call call("SyncWriteRec");
  if (call.fault) return *call.fault;
  if (auto code = call.notConnected()) return *code;
  if (!info) return SYNC_ERR_BAD_ARG;
  return call.report(call.handheld().writeRecord(*info), "SyncWriteRec", nullptr, 0,
                     info->recordSize);
}

HOTSYNC_API int32_t SyncReadDBAppInfoBlock(uint8_t handle, SyncAppInfoRequest* request) {
  Call call("SyncReadDBAppInfoBlock");
  if (call.fault) return *call.fault;
  if (auto code = call.notConnected()) return *code;
  if (!request) return SYNC_ERR_BAD_ARG;
  return call.report(call.handheld().readAppInfo(handle, *request), "SyncReadDBAppInfoBlock",
                     nullptr, 0, std::min<uint32_t>(request->blockSize, request->bufferSize));
}

HOTSYNC_API int32_t SyncWriteDBAppInfoBlock(uint8_t handle, SyncAppInfoRequest* request) {
  Call call("SyncWriteDBAppInfoBlock");
  if (call.fault) return *call.fault;
  if (auto code = call.notConnected()) return *code;
  if (!request) return SYNC_ERR_BAD_ARG;
  return call.report(call.handheld().writeAppInfo(handle, *request), "SyncWriteDBAppInfoBlock",
                     nullptr, 0, request->bufferSize);
}

#if !defined(_WIN32)
// Trace text needs no handheld: it is delivered connected or not.
HOTSYNC_API int32_t SyncTrace(const char* text) {
  Call call("SyncTrace");
  if (call.fault) return *call.fault;
  if (!text) return SYNC_ERR_BAD_ARG;
  if (call.s.trace) call.s.trace(text, 0, call.s.traceContext);
  return SYNC_OK;
}
#endif

HOTSYNC_API int32_t SyncFindDbByTypeCreator(SyncSearchTypeCreator* search, SyncDbInfo* info) {
  Call call("SyncFindDbByTypeCreator");
  if (call.fault) return *call.fault;
  if (auto code = call.notConnected()) return *code;
  if (!search || !info) return SYNC_ERR_BAD_ARG;
  int32_t r = call.handheld().findByTypeCreator(*search, *info);
  char name[sizeof info->name + 1] = {};
  std::memcpy(name, info->name, sizeof info->name);
  return call.report(r, "SyncFindDbByTypeCreator", name, search->type);
}

HOTSYNC_API int32_t SyncFindDbByName(SyncSearchName* search, SyncDbInfo* info) {
  Call call("SyncFindDbByName");
  if (call.fault) return *call.fault;
  if (auto code = call.notConnected()) return *code;
  if (!search || !info) return SYNC_ERR_BAD_ARG;
  return call.handheld().findByName(*search, *info);
}

// The handheld is big-endian: the conversions swap on a little-endian host.
HOTSYNC_API uint16_t SyncHostToHHWord(uint16_t value) {
  if constexpr (std::endian::native == std::endian::big) return value;
  return static_cast<uint16_t>((value >> 8) | (value << 8));
}

HOTSYNC_API uint32_t SyncHostToHHDWord(uint32_t value) {
  if constexpr (std::endian::native == std::endian::big) return value;
  return (value >> 24) | ((value >> 8) & 0x0000FF00u) | ((value << 8) & 0x00FF0000u) |
         (value << 24);
}

HOTSYNC_API uint16_t SyncHHToHostWord(uint16_t value) {
  return SyncHostToHHWord(value);
}

HOTSYNC_API uint32_t SyncHHToHostDWord(uint32_t value) {
  return SyncHostToHHDWord(value);
}

}  // extern "C"
