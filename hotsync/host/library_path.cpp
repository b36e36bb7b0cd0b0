#include "hotsync/host/library_path.h"

namespace lumora::host {

std::vector<std::string> splitSearchList(const char* list, char separator) {
  std::vector<std::string> folders;
  if (!list) return folders;
  std::string_view rest(list);
  while (true) {
    size_t end = rest.find(separator);
    std::string_view part = rest.substr(0, end);
    if (!part.empty()) folders.emplace_back(part);
    if (end == std::string_view::npos) break;
    rest.remove_prefix(end + 1);
  }
  return folders;
}

}  // namespace lumora::host
