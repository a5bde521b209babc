// Diskwright: start-up of the real program with its Qt window.

#include <QApplication>
#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include "core/program.h"
#include "platform/log_file.h"
#include "platform/port_names.h"
#include "platform/system_clock.h"
#include "shell/main_loop.h"
#include "shell/window/qt_desk.h"
#include "sim/bus/virtual_bus.h"

namespace {

// The virtual buses that DISKWRIGHT_COM<n>=sim:... names. Each is made at its first opening
// and kept for the whole run, so that a reconnection finds the same drives and disks.
class VirtualBuses {
 public:
  explicit VirtualBuses(const dw::Clock& clock) : clock_(clock) {}

  std::unique_ptr<dw::SerialPort> Open(const std::string& description) {
    auto found = buses_.find(description);
    if (found == buses_.end()) {
      std::string error;
      std::unique_ptr<sim::VirtualBus> bus = sim::VirtualBus::FromDescription(
          description, [this] { return clock_.NowUs(); }, &error);
      // Told once; the port then stays shut like a port without an adapter.
      if (!bus) std::fprintf(stderr, "Diskwright: %s: %s\n", description.c_str(), error.c_str());
      found = buses_.emplace(description, std::move(bus)).first;
    }
    return found->second ? found->second->OpenPort() : nullptr;
  }

 private:
  const dw::Clock& clock_;
  std::map<std::string, std::unique_ptr<sim::VirtualBus>> buses_;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  dw::SystemClock clock;
  dw::QtDesk desk;
  // Declared before the program: the buses outlive the port the program holds.
  VirtualBuses buses(clock);
  std::unique_ptr<dw::PortOpener> ports = dw::MakePortOpener(
      [&buses](const std::string& description) { return buses.Open(description); });
  dw::Program program(desk, clock, *ports);
  dw::LogFile keptLog = dw::LogFile::Daily(dw::UserDataFolder());
  program.KeptLog = &keptLog;
  dw::StartUp(program);
  desk.window().show();
  // The program runs its own loop and returns once it has shut down.
  dw::RunMainLoop(program);
  return 0;
}
