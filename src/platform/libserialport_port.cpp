// The real link port, through libserialport (Linux, macOS; Windows has its own backend).

#include <libserialport.h>

#include <memory>
#include <string>

#include "platform/port_names.h"

namespace dw {

namespace {

// A write of the largest packet at 460800 baud takes about 260 ms.
constexpr unsigned kWriteTimeoutMs = 2000;

class SystemSerialPort final : public SerialPort {
 public:
  explicit SystemSerialPort(sp_port* port) : port_(port) {}
  ~SystemSerialPort() override {
    sp_close(port_);
    sp_free_port(port_);
  }
  SystemSerialPort(const SystemSerialPort&) = delete;
  SystemSerialPort& operator=(const SystemSerialPort&) = delete;

  int BytesWaiting() override { return static_cast<int>(sp_input_waiting(port_)); }
  int Read(uint8_t* buffer, int maxBytes) override {
    return static_cast<int>(sp_nonblocking_read(port_, buffer, static_cast<size_t>(maxBytes)));
  }
  int Write(const uint8_t* data, int count) override {
    return static_cast<int>(
        sp_blocking_write(port_, data, static_cast<size_t>(count), kWriteTimeoutMs));
  }
  void SetBreak(bool on) override {
    if (on) {
      sp_start_break(port_);
    } else {
      sp_end_break(port_);
    }
  }

 private:
  sp_port* port_;
};

bool Configure(sp_port* port) {
  if (sp_set_baudrate(port, kLinkBaudRate) != SP_OK) return false;
  if (sp_set_bits(port, 8) != SP_OK) return false;
  if (sp_set_parity(port, SP_PARITY_NONE) != SP_OK) return false;
  if (sp_set_stopbits(port, 1) != SP_OK) return false;
  // No handshake of any kind: no RTS/CTS, no DTR/DSR, no XON/XOFF.
  return sp_set_flowcontrol(port, SP_FLOWCONTROL_NONE) == SP_OK;
}

}  // namespace

std::unique_ptr<SerialPort> OpenSystemSerialPort(const std::string& deviceName) {
  sp_port* port = nullptr;
  if (sp_get_port_by_name(deviceName.c_str(), &port) != SP_OK) return nullptr;
  if (sp_open(port, SP_MODE_READ_WRITE) != SP_OK) {
    sp_free_port(port);
    return nullptr;
  }
  if (!Configure(port)) {
    sp_close(port);
    sp_free_port(port);
    return nullptr;
  }
  return std::make_unique<SystemSerialPort>(port);
}

}  // namespace dw
