#pragma once
// The serial port onto a virtual bus, as the program opens it.

#include "sim/bus/virtual_bus.h"
#include "src/platform/serial_port.h"

namespace sim {

class VirtualPort final : public dw::SerialPort {
 public:
  explicit VirtualPort(VirtualBus* bus) : bus_(bus) {}
  ~VirtualPort() override;
  VirtualPort(const VirtualPort&) = delete;
  VirtualPort& operator=(const VirtualPort&) = delete;

  // A port whose adapter was unplugged (or whose bus is gone) fails from then on.
  int BytesWaiting() override;
  int Read(uint8_t* buffer, int maxBytes) override;
  int Write(const uint8_t* data, int count) override;
  void SetBreak(bool on) override;

  void Detach() { bus_ = nullptr; }

 private:
  VirtualBus* bus_;
};

}  // namespace sim
