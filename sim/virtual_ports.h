#pragma once
// The running program's way onto virtual buses: one bus per "sim:..." description for the life
// of the program, on the real clock, so every reconnection opens a port onto the same drives
// and disks. Disks are not written back to their image files: what the program writes stays on
// the virtual disks for the run.

#include <map>
#include <memory>
#include <string>

#include "src/platform/serial_port.h"

namespace sim {

class VirtualBus;

class VirtualPortRegistry {
 public:
  VirtualPortRegistry();
  ~VirtualPortRegistry();
  VirtualPortRegistry(const VirtualPortRegistry&) = delete;
  VirtualPortRegistry& operator=(const VirtualPortRegistry&) = delete;

  // A port onto the bus of the description; nullptr (with a message on stderr) when the
  // description is wrong or an image cannot be loaded.
  std::unique_ptr<dw::SerialPort> Open(const std::string& description);

 private:
  std::map<std::string, std::unique_ptr<VirtualBus>> buses_;
};

}  // namespace sim
