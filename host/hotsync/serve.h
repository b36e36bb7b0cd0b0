// The parts of `lumora-hotsync serve` that run without a command line, for the tests.
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "hotsync/link/usb_devices.h"
#include "hotsync/session/link_session.h"
#include "hotsync/transport/transport.h"
#include "hotsync/transport/usb_device.h"

namespace lumora::host {

// serve --usb: waits for a known USB handheld on bus (which outlives it), or only for the
// device `only`, and runs the HotSync of each that comes.
std::unique_ptr<Transport> makeUsbTransport(UsbBus& bus, std::optional<link::UsbId> only);

// serve's loop: one line per transport, then HotSyncs one at a time until Ctrl-C or
// SIGTERM, or the first HotSync with once. Exit status as runServe's.
int serveOn(std::vector<std::unique_ptr<Transport>> transports, const LinkSessionOptions& options,
            bool once);

// runServe with --usb served from bus (which outlives it) instead of libusb, when given: the
// whole command, USB included, on a scripted bus.
int runServeWith(int argc, char** argv, UsbBus* bus);

}  // namespace lumora::host
