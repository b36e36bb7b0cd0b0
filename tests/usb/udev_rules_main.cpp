// Prints the udev rules made from the device table, for packaging/udev/.
#include <cstdio>

#include "hotsync/link/usb_devices.h"

int main() {
  std::fputs(lumora::link::udevRules().c_str(), stdout);
  return 0;
}
