#pragma once
// The whole program headless: a fresh Program on a scripted desk, a virtual clock and a virtual
// bus on COM0 (more ports can be attached). Tests and the scenario runner build on it.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/program.h"
#include "platform/clock.h"
#include "platform/serial_port.h"
#include "sim/bus/virtual_bus.h"
#include "testkit/scripted_desk.h"

namespace dw {

// A port that takes every byte and never answers: a serial device that is no adapter.
class SilentPort final : public SerialPort {
 public:
  int BytesWaiting() override { return 0; }
  int Read(uint8_t*, int) override { return 0; }
  int Write(const uint8_t*, int count) override { return count; }
  void SetBreak(bool) override {}
};

// Opens the virtual buses attached to port numbers; every other port does not exist.
class VirtualPortOpener final : public PortOpener {
 public:
  void Attach(int number, sim::VirtualBus* bus) { buses_[number] = bus; }
  // A port that exists but never answers (or answers what a test makes it answer).
  void AttachSilent(int number) { silent_[number] = true; }
  std::unique_ptr<SerialPort> Open(int number) override;
  int openCount(int number) const;

 private:
  std::map<int, sim::VirtualBus*> buses_;
  std::map<int, bool> silent_;
  std::map<int, int> opened_;
};

class Harness {
 public:
  // description: the drives and disks of the bus on COM0, as after "sim:" (e.g.
  // "8=1541-II+:/tmp/a.d64,10=1581"); an empty text attaches no bus.
  explicit Harness(const std::string& description);

  // Runs the start-up and the main loop until the script ends (the desk then asks to close).
  void Run();
  // Connects as the first pass of the main loop does, without running the loop.
  void Connect();

  VirtualClock clock;
  ScriptedDesk desk{clock};
  VirtualPortOpener ports;
  std::unique_ptr<sim::VirtualBus> bus;
  Program program{desk, clock, ports};
};

// Puts a fault on the bus, as a scenario writes it ("poweroff 9", "silent", ...), at the given
// virtual time (0: at once). false with a message when the words are no fault.
bool ApplyBusFault(sim::VirtualBus& bus, const std::vector<std::string>& words, int64_t atUs,
                   std::string* error);

}  // namespace dw
