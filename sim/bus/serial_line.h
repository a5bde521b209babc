#pragma once
// The line from the adapter to the PC's serial port, in virtual time: replies go out one byte
// after the other at the link's byte rate, and the PC's input buffer fills as they arrive. The
// adapter forwards a reply's data as the drive gives it: those bytes go out no faster than they
// come (one every `paceNs`), the rest at the link's rate. The
// buffer holds dw::kLinkInputBufferSize bytes; what comes on top of that is lost, as with a
// real port.
//
// The PC's system shows only part of that buffer: on Linux (and other systems without a
// settable input buffer) the count of waiting bytes stops at about 4 KB, and the rest is
// released as the program reads. A program that waits for a long reply to be "waiting" whole
// waits for ever; it must read as the bytes come.

#include <cstdint>
#include <deque>
#include <vector>

#include "sim/bus/bus_timing.h"

namespace sim {

// What a Linux serial port shows of its input at a time.
inline constexpr int kDefaultVisibleInput = 4095;

class SerialLine {
 public:
  explicit SerialLine(const BusTiming& timing) : timing_(timing) {}

  // The bytes go out from startNs on, after whatever is going out already; what is queued to
  // start later goes after them. The first `pacedBytes` of them come to the adapter one every
  // paceNs (the first paceNs after startNs). Returns the transmission's number.
  int64_t Transmit(int64_t startNs, std::vector<uint8_t> bytes, int64_t paceNs = 0,
                   size_t pacedBytes = 0);
  // The adapter stops sending at atNs: bytes that had not arrived by then never come.
  void StopTransmitting(int64_t atNs);
  // The same for one transmission (its drive stopped giving bytes): the rest of it never comes.
  void Cut(int64_t id, int64_t atNs);
  // The bytes of a transmission that have not arrived by atNs become those of `bytes`.
  void Overwrite(int64_t id, int64_t atNs, const std::vector<uint8_t>& bytes);
  // Moves the bytes that have arrived by nowNs into the PC's input buffer.
  void Deliver(int64_t nowNs);
  // Everything in flight and in the input buffer is gone (the port went away).
  void Clear();

  // Bytes the PC can see and read now.
  int waiting() const;
  // The most the PC's system shows at a time (0: all of the buffer).
  void SetVisibleLimit(int bytes) { visibleLimit_ = bytes; }
  int Read(uint8_t* buffer, int maxBytes);
  int64_t lostBytes() const { return lostBytes_; }
  // When the last byte sent so far arrives.
  int64_t idleFromNs() const { return lineFreeNs_; }

 private:
  struct Transmission {
    int64_t id = 0;
    int64_t startNs = 0;
    std::vector<uint8_t> bytes;
    int64_t paceNs = 0;
    size_t pacedBytes = 0;
    size_t arrived = 0;
  };

  // When byte `index` of a transmission has arrived at the PC.
  int64_t ArrivalNs(const Transmission& transmission, size_t index) const;
  int64_t EndNs(const Transmission& transmission) const;
  Transmission* Find(int64_t id);

  const BusTiming& timing_;
  std::deque<Transmission> sending_;
  std::deque<uint8_t> received_;
  int64_t lineFreeNs_ = 0;
  int64_t lostBytes_ = 0;
  int64_t nextId_ = 1;
  int visibleLimit_ = kDefaultVisibleInput;
};

}  // namespace sim
