#include "hotsync/api/install_queue.h"

#include "hotsync/api/handheld.h"
#include "hotsync/api/user_paths.h"
#include "hotsync/format/pdb_file.h"
#include "platform/files/atomic_files.h"
#include "platform/files/paths.h"

namespace lumora::hotsync {

int32_t queueFile(std::string_view userName, std::string_view filePath) {
  auto folder = userInstallFolder(userName);
  if (!folder || filePath.empty()) return SYNC_ERR_BAD_ARG;
  std::string source = paths::toHostPath(filePath);
  auto slash = source.find_last_of("\\/");
  std::string base = slash == std::string::npos ? source : source.substr(slash + 1);
  // Hidden names are how the queue marks its temporary files; they would never install.
  if (base.empty() || base.front() == '.') return SYNC_ERR_BAD_ARG;
  if (!files::isRegularFile(source)) return SYNC_ERR_NOT_FOUND;
  if (!files::makeFolders(*folder)) return SYNC_ERR_STORAGE;
  if (!files::copyFileAtomic(source, files::join(*folder, base))) return SYNC_ERR_STORAGE;
  return SYNC_OK;
}

int32_t installQueued(std::string_view userName, Handheld& handheld, const RejectFn& reject) {
  auto folder = userInstallFolder(userName);
  if (!folder) return 0;
  auto names = files::listFolder(*folder);
  if (!names) return 0;
  int32_t installed = 0;
  for (const std::string& name : *names) {
    if (name.front() == '.') continue;
    std::string path = files::join(*folder, name);
    if (files::isFolder(path)) continue;
    auto read = files::readFile(path, kMaxDatabaseBytes);
    if (!read.bytes) {
      reject(name, "the file cannot be read: " + read.error);
      continue;
    }
    auto parsed = parsePdb(*read.bytes);
    if (!parsed.database) {
      reject(name, "not a database file: " + parsed.error);
      continue;
    }
    std::string reason;
    if (handheld.install(std::move(*parsed.database), reason) != SYNC_OK) {
      reject(name, reason);
      continue;
    }
    ++installed;
    if (!files::removeFile(path))
      reject(name, "installed, but it could not be removed from the queue");
  }
  return installed;
}

}  // namespace lumora::hotsync
