#pragma once
// How the program's port names "COM0".."COM32" reach a serial device.
//
// On Windows "COM" + n is the system's COM port. Elsewhere it is the value of the environment
// variable DISKWRIGHT_COM<n> when that is set (a device path such as /dev/ttyUSB0, or a virtual
// bus "sim:..."), otherwise the n-th serial port the system lists, sorted by device name.

#include <functional>
#include <memory>
#include <string>

#include "platform/serial_port.h"

namespace dw {

// Makes a port onto a virtual bus from its "sim:..." description; nullptr when it cannot.
using VirtualPortFactory = std::function<std::unique_ptr<SerialPort>(const std::string&)>;

std::unique_ptr<PortOpener> MakePortOpener(VirtualPortFactory virtualPorts);

// The system's serial device behind a name (a path such as /dev/ttyUSB0, or COM3 on Windows),
// opened with the link's fixed settings; nullptr when it cannot be opened, and then `trial`
// (when given) says why. An open port is held for this program alone: another program that
// holds it makes it "in use".
std::unique_ptr<SerialPort> OpenSystemSerialPort(const std::string& deviceName,
                                                 PortTrial* trial = nullptr);

}  // namespace dw
