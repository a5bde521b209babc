#pragma once
// The serial link to the BUSLINK adapter: what the program needs of a serial port and
// nothing more. The real port (libserialport) and the virtual bus both implement it.

#include <cstdint>
#include <memory>
#include <string>

namespace dw {

// Fixed line settings of the link port.
inline constexpr int kLinkBaudRate = 460800;
inline constexpr int kLinkInputBufferSize = 40000;
inline constexpr int kLinkOutputBufferSize = 12000;

class SerialPort {
 public:
  virtual ~SerialPort() = default;

  // Bytes received and not yet read. A failing port (an unplugged USB adapter) reports a
  // negative number, never data.
  virtual int BytesWaiting() = 0;
  // Reads at most maxBytes of the bytes already waiting; never blocks. Returns the count read.
  virtual int Read(uint8_t* buffer, int maxBytes) = 0;
  // Writes the bytes in one go. Returns the count written, negative on failure.
  virtual int Write(const uint8_t* data, int count) = 0;
  // The break state of the transmit line (the only line the program drives).
  virtual void SetBreak(bool on) = 0;
};

// Why a port is not the link. kNoAnswer: it opened, but no adapter answered on it.
enum class PortFault { kNone, kMissing, kInUse, kNoAnswer, kDenied, kOther };

// What was behind one port of a search for the adapter, for telling the user.
struct PortTrial {
  std::string port;    // the program's name for it ("COM3"); empty for a port named directly
  std::string device;  // what the name stands for ("/dev/ttyUSB0", "sim:8=1541"); may be empty
  PortFault fault = PortFault::kNone;
  std::string group;   // kDenied: the group that owns the device, whose members may open it
  std::string detail;  // kOther: the system's words
};

// Opens the ports "COM0", "COM1", ... by number with the fixed settings above.
class PortOpener {
 public:
  virtual ~PortOpener() = default;
  // nullptr when the port does not exist or cannot be opened.
  virtual std::unique_ptr<SerialPort> Open(int number) = 0;
  // Opens as Open does and fills `trial` with what is behind the number and, when nothing
  // opened, why. An opener that knows no more leaves it empty.
  virtual std::unique_ptr<SerialPort> OpenTelling(int number, PortTrial* /*trial*/) {
    return Open(number);
  }
};

}  // namespace dw
