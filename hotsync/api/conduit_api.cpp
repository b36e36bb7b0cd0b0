// The conduit manager functions over the registry file in the Windows folder.
#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include "hotsync/api/conduit_registry.h"
#include "hotsync/api/hotsync.h"
#include "hotsync/api/hotsync_host.h"
#include "hotsync/api/session.h"
#include "hotsync/api/user_paths.h"

using lumora::hotsync::Call;
using lumora::hotsync::ConduitRegistry;

namespace {

ConduitRegistry registry() {
  return ConduitRegistry(lumora::hotsync::conduitRegistryFile());
}

int32_t setValue(const char* op, const char* creator, const char* key, const char* value) {
  Call call(op);
  if (call.fault) return *call.fault;
  if (!creator) return CM_ERR_INVALID_CREATOR;
  if (!value) return CM_ERR_INVALID_POINTER;
  return registry().set(creator, key, value);
}

// The registry key of a field name of CmGetConduitValue.
const char* keyOf(std::string_view field) {
  auto same = [&](std::string_view name) {
    return std::equal(field.begin(), field.end(), name.begin(), name.end(),
                      [](char a, char b) { return (a | 0x20) == (b | 0x20); });
  };
  if (same("library")) return "Library";
  if (same("directory")) return "Directory";
  if (same("title")) return "Title";
  if (same("type")) return "Type";
  return nullptr;
}

}  // namespace

extern "C" {

HOTSYNC_API int32_t CmInstallCreator(const char* creator, int32_t type) {
  Call call("CmInstallCreator");
  if (call.fault) return *call.fault;
  if (!creator) return CM_ERR_INVALID_CREATOR;
  return registry().add(creator, type);
}

HOTSYNC_API int32_t CmSetCreatorName(const char* creator, const char* libraryName) {
  return setValue("CmSetCreatorName", creator, "Library", libraryName);
}

HOTSYNC_API int32_t CmSetCreatorDirectory(const char* creator, const char* directory) {
  return setValue("CmSetCreatorDirectory", creator, "Directory", directory);
}

HOTSYNC_API int32_t CmSetCreatorTitle(const char* creator, const char* title) {
  return setValue("CmSetCreatorTitle", creator, "Title", title);
}

HOTSYNC_API int32_t CmRemoveConduitByCreatorID(const char* creator) {
  Call call("CmRemoveConduitByCreatorID");
  if (call.fault) return *call.fault;
  if (!creator) return SYNC_ERR_BAD_ARG;
  return registry().remove(creator);
}

HOTSYNC_API int32_t HOTSYNC_WINAPI CmGetHotSyncExecPath(char* path, int32_t* size) {
  Call call("CmGetHotSyncExecPath");
  if (call.fault) return *call.fault;
  if (!path || !size) return CM_ERR_INVALID_POINTER;
  auto value = lumora::hotsync::hotSyncExecPath();
  if (!value) return CM_ERR_REGISTRY_ACCESS;
  if (*size <= 0 || value->size() + 1 > static_cast<size_t>(*size)) {
    *size = static_cast<int32_t>(value->size() + 1);
    return CM_ERR_BUFFER_TOO_SMALL;
  }
  std::memcpy(path, value->c_str(), value->size() + 1);
  return 0;
}

HOTSYNC_API int32_t CmGetConduitValue(const char* creator, const char* field, char* buffer,
                                      uint32_t capacity) {
  Call call;
  if (!creator || !field || !buffer || capacity == 0) return SYNC_ERR_BAD_ARG;
  const char* key = keyOf(field);
  if (!key) return SYNC_ERR_BAD_ARG;
  std::string value;
  int32_t result = registry().get(creator, key, value);
  buffer[0] = '\0';
  if (result != SYNC_OK) return result;
  size_t n = std::min<size_t>(value.size(), capacity - 1);
  std::memcpy(buffer, value.data(), n);
  buffer[n] = '\0';
  return n == value.size() ? SYNC_OK : SYNC_ERR_TOO_LARGE;
}

}  // extern "C"
