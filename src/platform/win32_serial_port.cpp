// The real link port on Windows, through the system's own serial calls.

#include <windows.h>

#include <memory>
#include <string>

#include "platform/port_names.h"

namespace dw {

namespace {

// A write of the largest packet at 460800 baud takes about 260 ms.
constexpr DWORD kWriteTimeoutMs = 2000;

class Win32SerialPort final : public SerialPort {
 public:
  explicit Win32SerialPort(HANDLE handle) : handle_(handle) {}
  ~Win32SerialPort() override { CloseHandle(handle_); }
  Win32SerialPort(const Win32SerialPort&) = delete;
  Win32SerialPort& operator=(const Win32SerialPort&) = delete;

  int BytesWaiting() override {
    // Also clears a line error (framing, overrun) that would otherwise stop every later read.
    DWORD errors = 0;
    COMSTAT state{};
    if (!ClearCommError(handle_, &errors, &state)) return -1;
    return static_cast<int>(state.cbInQue);
  }
  int Read(uint8_t* buffer, int maxBytes) override {
    DWORD got = 0;
    if (maxBytes <= 0) return 0;
    if (!ReadFile(handle_, buffer, static_cast<DWORD>(maxBytes), &got, nullptr)) return -1;
    return static_cast<int>(got);
  }
  int Write(const uint8_t* data, int count) override {
    DWORD written = 0;
    if (count <= 0) return 0;
    if (!WriteFile(handle_, data, static_cast<DWORD>(count), &written, nullptr)) return -1;
    return static_cast<int>(written);
  }
  void SetBreak(bool on) override {
    if (on) {
      SetCommBreak(handle_);
    } else {
      ClearCommBreak(handle_);
    }
  }

 private:
  HANDLE handle_;
};

bool Configure(HANDLE handle) {
  if (!SetupComm(handle, kLinkInputBufferSize, kLinkOutputBufferSize)) return false;
  DCB settings{};
  settings.DCBlength = sizeof settings;
  if (!GetCommState(handle, &settings)) return false;
  settings.BaudRate = kLinkBaudRate;
  settings.ByteSize = 8;
  settings.Parity = NOPARITY;
  settings.StopBits = ONESTOPBIT;
  settings.fBinary = TRUE;
  settings.fParity = FALSE;
  // No handshake of any kind: no RTS/CTS, no DTR/DSR, no XON/XOFF. DTR and RTS stay raised, as
  // the adapter's USB bridge powers up with them.
  settings.fOutxCtsFlow = FALSE;
  settings.fOutxDsrFlow = FALSE;
  settings.fDsrSensitivity = FALSE;
  settings.fDtrControl = DTR_CONTROL_ENABLE;
  settings.fRtsControl = RTS_CONTROL_ENABLE;
  settings.fOutX = FALSE;
  settings.fInX = FALSE;
  settings.fNull = FALSE;
  settings.fAbortOnError = FALSE;
  if (!SetCommState(handle, &settings)) return false;
  // Reads return at once with what has arrived; a write may take its time, but not forever.
  COMMTIMEOUTS timeouts{};
  timeouts.ReadIntervalTimeout = MAXDWORD;
  timeouts.ReadTotalTimeoutMultiplier = 0;
  timeouts.ReadTotalTimeoutConstant = 0;
  timeouts.WriteTotalTimeoutMultiplier = 0;
  timeouts.WriteTotalTimeoutConstant = kWriteTimeoutMs;
  if (!SetCommTimeouts(handle, &timeouts)) return false;
  return PurgeComm(handle, PURGE_RXCLEAR | PURGE_TXCLEAR) != 0;
}

// A COM port is opened for one program at a time: access denied means another one holds it.
void TellOpenError(DWORD code, PortTrial* trial) {
  if (trial == nullptr) return;
  if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) {
    trial->fault = PortFault::kMissing;
  } else if (code == ERROR_ACCESS_DENIED || code == ERROR_SHARING_VIOLATION) {
    trial->fault = PortFault::kInUse;
  } else {
    trial->fault = PortFault::kOther;
    trial->detail = "system error " + std::to_string(code);
  }
}

}  // namespace

std::unique_ptr<SerialPort> OpenSystemSerialPort(const std::string& deviceName, PortTrial* trial) {
  // COM10 and above exist only under the device namespace; the lower ones work there too.
  const std::string path =
      deviceName.rfind("\\\\.\\", 0) == 0 ? deviceName : "\\\\.\\" + deviceName;
  HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    TellOpenError(GetLastError(), trial);
    return nullptr;
  }
  if (!Configure(handle)) {
    if (trial != nullptr) {
      trial->fault = PortFault::kOther;
      trial->detail = "it refuses the link's settings (460800 baud, 8N1)";
    }
    CloseHandle(handle);
    return nullptr;
  }
  return std::make_unique<Win32SerialPort>(handle);
}

}  // namespace dw
