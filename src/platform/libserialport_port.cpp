// The real link port, through libserialport (Linux, macOS; Windows has its own backend).

#include <fcntl.h>
#include <grp.h>
#include <libserialport.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
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

void Tell(PortTrial* trial, PortFault fault, std::string detail = {}) {
  if (trial == nullptr) return;
  trial->fault = fault;
  trial->detail = std::move(detail);
}

// Members of the group that owns a serial device may open it (on Linux usually "dialout").
void TellDenied(const std::string& path, PortTrial* trial) {
  Tell(trial, PortFault::kDenied);
  struct stat status {};
  if (trial == nullptr || stat(path.c_str(), &status) != 0) return;
  const group* owner = getgrgid(status.st_gid);
  trial->group = owner != nullptr ? std::string(owner->gr_name) : std::to_string(status.st_gid);
}

void TellSystemError(int code, const std::string& path, PortTrial* trial) {
  if (code == ENOENT || code == ENOTDIR || code == ENODEV || code == ENXIO) {
    Tell(trial, PortFault::kMissing);
  } else if (code == EACCES || code == EPERM) {
    TellDenied(path, trial);
  } else if (code == EBUSY) {
    Tell(trial, PortFault::kInUse);
  } else {
    Tell(trial, PortFault::kOther, std::strerror(code));
  }
}

// Whether the device is there and this user may open it, asked of the file system before
// anything opens it (an open raises the modem lines the adapter's USB bridge sees).
bool MayOpen(const std::string& path, PortTrial* trial) {
  struct stat status {};
  if (stat(path.c_str(), &status) != 0 ||
      faccessat(AT_FDCWD, path.c_str(), R_OK | W_OK, AT_EACCESS) != 0) {
    TellSystemError(errno, path, trial);
    return false;
  }
  return true;
}

// A port another program holds under a lock (another Diskwright, or any program that locks its
// ports) is in use; this program locks the port it holds in the same way.
bool LockForThisProgram(sp_port* port) {
  int handle = -1;
  if (sp_get_port_handle(port, &handle) != SP_OK || handle < 0) return true;
  return flock(handle, LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK;
}

}  // namespace

std::unique_ptr<SerialPort> OpenSystemSerialPort(const std::string& deviceName, PortTrial* trial) {
  if (!MayOpen(deviceName, trial)) return nullptr;
  sp_port* port = nullptr;
  if (sp_get_port_by_name(deviceName.c_str(), &port) != SP_OK) {
    Tell(trial, PortFault::kOther, "not a serial port");
    return nullptr;
  }
  if (sp_open(port, SP_MODE_READ_WRITE) != SP_OK) {
    TellSystemError(sp_last_error_code(), deviceName, trial);
    sp_free_port(port);
    return nullptr;
  }
  if (!LockForThisProgram(port)) {
    Tell(trial, PortFault::kInUse);
    sp_close(port);
    sp_free_port(port);
    return nullptr;
  }
  if (!Configure(port)) {
    Tell(trial, PortFault::kOther, "it refuses the link's settings (460800 baud, 8N1)");
    sp_close(port);
    sp_free_port(port);
    return nullptr;
  }
  return std::make_unique<SystemSerialPort>(port);
}

}  // namespace dw
