#pragma once
// The serial ports present on this PC, as Windows lists them for programs (the values under
// HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\SERIALCOMM: a driver's device name -> "COM<n>").
#include <string>
#include <vector>

namespace virel::app {

// The port names listed there, as they stand (UTF-8), in the registry's order. Values that are
// not text or are too long to be a port name are left out; no key gives an empty list.
std::vector<std::string> PresentSerialPorts();

}  // namespace virel::app
