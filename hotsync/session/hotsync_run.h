// The part of a HotSync that is the same whatever handheld is connected: choosing the
// sync type, running the registered conduit once, and the log observer that prints.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace lumora::host {

// A sync type given on the command line ("0" .. "4294967295"), or nullopt.
std::optional<uint32_t> parseSyncType(const std::string& text);

// The sync type of user's HotSync: given, or the user's next action (kept by 'configure'
// in HotSync/<user>/Actions.ini; 0 when none).
uint32_t chooseSyncType(const std::string& user, std::optional<uint32_t> given);
// After a HotSync that took the next action, the user's default action applies again.
void finishNextAction(const std::string& user, std::optional<uint32_t> given);

// Loads the conduit registered for the photo album, prints its name, version and the sync
// type, calls OpenConduit once and unloads it while the handheld is still connected (the
// conduit writes back at unload). False, with error, when it could not be run.
bool runRegisteredConduit(uint32_t syncType, std::string& error);

// The line that closes a HotSync ("HotSync complete", "HotSync of U complete"): as given
// when the conduit logged no problem in its last run, else followed by how many problem
// lines it logged and where user's log is.
std::string closingLine(const std::string& complete, const std::string& user);

// HsLogObserver that prints each entry as "[ACTIVITY] TEXT".
void printLogEntry(const char* text, int32_t activity, void* context);
// HsRejectFn that reports a queued file left in the queue.
void printReject(const char* fileName, const char* reason, void* context);

}  // namespace lumora::host
