#pragma once
// The serial port the command-line program looks for the adapter on: the window's discovery
// (COM0 to COM32 and the DISKWRIGHT_COM<n> variables) unless --port names one, which may be a
// window's COM name, a device path, or a virtual bus ("sim:...").
//
// A virtual bus lives for the whole run. Since every run is one command, its disks are written
// back to their image files after a command that writes files through the DOS, as a real disk
// keeps what was written. For tests a bus may also run in virtual time (the clock then moves only
// while the program waits) and have its disks changed at set times.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/serial_port.h"

namespace dw::cli {

// A disk change on a virtual drive: at `atUs` the disk starts coming out (its body darkens
// the write-protect sense) and a moment later the disk of `imagePath` is in.
struct DiskChange {
  int64_t atUs = 0;
  int device = 0;
  std::string imagePath;
};

class LinkPorts final : public PortOpener {
 public:
  // port: empty for discovery, "COM<n>", a device path, or "sim:...".
  // faults: put on a virtual bus when it is made, as scenarios write them ("badwrite 8 12").
  LinkPorts(const Clock& clock, std::string port, std::vector<DiskChange> changes,
            std::vector<std::string> faults = {});
  ~LinkPorts() override;

  std::unique_ptr<SerialPort> Open(int number) override { return OpenTelling(number, nullptr); }
  std::unique_ptr<SerialPort> OpenTelling(int number, PortTrial* trial) override;

  // Writes the disks of the virtual buses back to their image files; false with a message
  // when one could not be written.
  bool SaveVirtualDisks(std::string* error);

  class Buses;

 private:
  std::string port_;
  std::unique_ptr<Buses> buses_;
  std::unique_ptr<PortOpener> discovery_;
};

// "COM7" gives 7; -1 for any other name.
int ComNumberOf(const std::string& port);

}  // namespace dw::cli
