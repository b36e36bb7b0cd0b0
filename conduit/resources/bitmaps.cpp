#include "conduit/resources/bitmaps.h"

namespace lumora::conduit {
namespace {

// Generated at configure time from the action_*.bmp files beside this one.
#include "action_bitmaps.inc"

struct Entry {
  uint32_t id;
  ByteView bytes;
};

const Entry kBitmaps[] = {
    {kBmpSync, kActionSync},
    {kBmpDesktopToHandheld, kActionDesktopToHandheld},
    {kBmpHandheldToDesktop, kActionHandheldToDesktop},
    {kBmpNothing, kActionNothing},
};

}  // namespace

std::optional<ByteView> bitmapResource(uint32_t id) {
  for (const Entry& e : kBitmaps)
    if (e.id == id) return e.bytes;
  return std::nullopt;
}

}  // namespace lumora::conduit
