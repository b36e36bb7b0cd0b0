// Transfers that move nothing, for builds without the picture exchange.
#include "conduit/transfers.h"

namespace lumora::pictures {

bool copyPicturesToDesktop(uint32_t, uint32_t, bool) {
  return true;
}
bool copyPicturesToHandheld(uint32_t, bool) {
  return true;
}

}  // namespace lumora::pictures
