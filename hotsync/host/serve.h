// The parts of `lumora-hotsync serve` that run without a command line, for the tests.
#pragma once

#include <optional>

#include "hotsync/host/link_session.h"
#include "hotsync/host/usb_device.h"
#include "hotsync/link/usb_devices.h"

namespace lumora::host {

// serve --usb on the given bus: USB HotSyncs one after the other until Ctrl-C, or the first
// HotSync with once. Exit status as runServe's.
int serveUsb(UsbBus& bus, std::optional<link::UsbId> only, bool once,
             const LinkSessionOptions& options);

}  // namespace lumora::host
