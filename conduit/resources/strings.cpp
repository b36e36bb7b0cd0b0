#include "conduit/resources/strings.h"

namespace lumora::conduit {
namespace {

constexpr resources::StringResource kStrings[] = {
    {kStrDisplayName, "Lumora 2004"},
    {kStrCurrentSettings, "%s's Current Settings:"},
    {kStrSyncFiles, "Synchronize the files."},
    {kStrDesktopOverwrites, "Desktop overwrites Palm organizer."},
    {kStrHandheldOverwrites, "Palm organizer overwrites Desktop."},
    {kStrDoNothing, "Do Nothing."},
    {kStrActionGroup, "HotSync Action for Lumora"},
};

}  // namespace

std::span<const resources::StringResource> stringTable() { return kStrings; }

int loadString(uint32_t id, char* buffer, int capacity) {
  return resources::loadString(kStrings, id, buffer, capacity);
}

}  // namespace lumora::conduit
