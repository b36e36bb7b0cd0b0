#include "conduit/exports.h"

#include <cstring>
#include <optional>

#include "common/bytes.h"
#include "conduit/config_dialog.h"
#include "conduit/dispatch.h"
#include "conduit/export_guard.h"
#include "conduit/library_entry.h"
#include "conduit/resources/strings.h"
#include "hotsync/api/hotsync.h"
#include "pictures/name_flag_list.h"
#include "pictures/sync_log.h"

namespace lumora::conduit {
namespace {

constexpr const char* kCreator = "LmDx";
constexpr int32_t kConduitType = 1;
constexpr const char* kLibraryName = "lumsync.dll";
constexpr const char* kDirectoryName = "Lumdir";
constexpr const char* kTitle = "Lumora 2004";

enum : int32_t { kInfoDisplayName = 0, kInfoMfcVersion = 1, kInfoDefaultAction = 2 };
constexpr uint32_t kMfcVersion = 0x10000000;
static_assert(kNameRequestSize == sizeof(ConduitNameRequest));
static_assert(kConfigRecordSize == sizeof(ConduitConfigRecord));

void storeU32(void* out, uint32_t v) {
  std::memcpy(out, &v, sizeof v);
}

// The Sync Manager serves a conduit between its registration and its unregistration.
class Registration {
 public:
  Registration() : code_(SyncRegisterConduit(&handle_)) {}
  ~Registration() {
    if (code_ == 0) SyncUnRegisterConduit(handle_);
  }
  Registration(const Registration&) = delete;
  Registration& operator=(const Registration&) = delete;
  int32_t code() const { return code_; }

 private:
  uint32_t handle_ = 0;
  int32_t code_;
};

}  // namespace

}  // namespace lumora::conduit

using namespace lumora;
using namespace lumora::conduit;

extern "C" {

int32_t OpenConduit(void*, void* syncProperties) {
  return guardExport("OpenConduit", 0, [&] {
    std::optional<uint32_t> syncType;
    if (syncProperties) {
      uint32_t type = 0;
      std::memcpy(&type, syncProperties, sizeof type);
      syncType = type;
    }
    Registration registration;
    if (registration.code() != 0) {
      LogAddFormattedEntry(pictures::kActivityError, 0,
                           "Lumora: the HotSync Manager did not let the conduit in (code %ld).",
                           static_cast<long>(registration.code()));
      return 0;
    }
    runSync(syncType);
    if (kWriteBackInSession) pictures::NameFlagList::writeBackAndReset();
    return 0;
  });
}

int32_t GetConduitName(char* buffer, uint16_t length) {
  return loadString(kStrDisplayName, buffer, length) > 0 ? 0 : -1;
}

int32_t GetConduitVersion(void) {
  return static_cast<int32_t>(kConduitVersion);
}

int32_t ConfigureConduit(void*) {
  return -1;
}

int32_t GetConduitInfo(int32_t infoType, void* request, void* output, uint32_t* outputSize) {
  if (!output) return kCondErrNullBuffer;
  if (!outputSize) return kCondErrNullSize;
  switch (infoType) {
    case kInfoDisplayName: {
      if (!request) return kCondErrNullRequest;
      const auto* r = static_cast<const uint8_t*>(request);
      if (loadLe32(r) != 1 || loadLe32(r + 4) != kNameRequestSize) return kCondErrBadRequest;
      uint32_t capacity = *outputSize > 0x7FFFFFFFu ? 0x7FFFFFFFu : *outputSize;
      int loaded =
          loadString(kStrDisplayName, static_cast<char*>(output), static_cast<int>(capacity));
      return loaded > 0 ? 0 : kCondErrNoName;
    }
    case kInfoMfcVersion:
      if (*outputSize != 4) return kCondErrBadSize;
      storeU32(output, kMfcVersion);
      return 0;
    case kInfoDefaultAction:
      if (*outputSize != 4) return kCondErrBadSize;
      storeU32(output, kSyncFiles);
      return 0;
    default:
      return kCondErrBadInfoType;
  }
}

int32_t CfgConduit(int32_t configType, void* record, uint32_t* recordSize) {
  // 0 as when the dialog closed: the record holds what the dialog had written by then.
  return guardExport("CfgConduit", 0, [&]() -> int32_t {
    if (!record) return kCondErrNullRequest;
    if (!recordSize) return kCondErrNullRecordSize;
    if (*recordSize != kConfigRecordSize) return kCondErrBadRecordSize;
    if (configType != 0) return kCondErrBadConfigType;
    auto* rec = static_cast<uint8_t*>(record);
    if (loadLe32(rec) != 1) return kCondErrBadRecordVersion;

    // Name request: version, size, the two identifiers and the user name.
    uint8_t nameRequest[kNameRequestSize] = {};
    storeLe32(nameRequest, 1);
    storeLe32(nameRequest + 4, kNameRequestSize);
    std::memcpy(nameRequest + 8, rec + 8, 8);
    std::memcpy(nameRequest + 16, rec + 16, 63);
    char name[256] = {};
    uint32_t nameSize = sizeof name;
    if (int32_t r = GetConduitInfo(kInfoDisplayName, nameRequest, name, &nameSize)) return r;

    runConfigDialog(rec, /*the foreground window*/ nullptr);
    return 0;
  });
}

int32_t DllUnregisterServer(void) {
  return guardExport("DllUnregisterServer", 0,
                     [] { return CmRemoveConduitByCreatorID(kCreator) <= 1 ? 1 : 0; });
}

int32_t DllRegisterServer(void) {
  return guardExport("DllRegisterServer", 0, [] {
    int32_t r = CmInstallCreator(kCreator, kConduitType);
    if (r == CM_ERR_ALREADY_REGISTERED) {
      DllUnregisterServer();
      r = CmInstallCreator(kCreator, kConduitType);
    }
    if (r != 0) return 0;
    if (CmSetCreatorName(kCreator, kLibraryName) != 0) return 0;
    if (CmSetCreatorDirectory(kCreator, kDirectoryName) != 0) return 0;
    if (CmSetCreatorTitle(kCreator, kTitle) != 0) return 0;
    return 1;
  });
}

}  // extern "C"
