#pragma once
// The serial link to the BUSLINK adapter: what the program needs of a serial port and
// nothing more. The real port (libserialport) and the virtual bus both implement it.

#include <cstdint>
#include <memory>

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

// Opens the ports "COM0", "COM1", ... by number with the fixed settings above.
class PortOpener {
 public:
  virtual ~PortOpener() = default;
  // nullptr when the port does not exist or cannot be opened.
  virtual std::unique_ptr<SerialPort> Open(int number) = 0;
};

}  // namespace dw
