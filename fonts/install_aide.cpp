#include "fonts/install_aide.h"

#include <string>

namespace lumora::fonts {

int32_t queueCopy(QueueFileFn queue, std::string_view userName, std::string_view filePath) {
  std::string user(userName), path(filePath);
  return queue(user.data(), path.data());
}

}  // namespace lumora::fonts
