#pragma once
// A virtual drive's address space: RAM, the I/O chips and ROM, decoded as on the real board.
//
//   1541 family, 1570, 1571: RAM $0000-$07FF, VIA 1 $1800 (serial bus), VIA 2 $1C00 (disk);
//                            1570/1571 also a CIA at $4000; ROM $C000 (1571: $8000) to $FFFF.
//   1581:                    RAM $0000-$1FFF, CIA $4000, ROM $8000-$FFFF.
// Reads of addresses where nothing answers return the address high byte, what the 6502 last
// had on its data bus.

#include <cstdint>
#include <span>
#include <vector>

#include "sim/bus/drive_models.h"
#include "sim/bus/io_chips.h"

namespace sim {

class DriveMemory {
 public:
  DriveMemory(const DriveModel& model, int device);

  // RAM cleared, the I/O chips as the DOS sets them up after power-on or reset.
  void PowerOn();

  uint8_t Read(uint16_t address) const;
  void Write(uint16_t address, uint8_t value);

  // Lines from outside the board.
  void SetWriteProtected(bool protectedDisk);
  // The 6522 fast serial driver of a 1541: it holds VIA 1's CB2 line, so the edge that
  // the peripheral control register selects raises the CB2 flag (bit 3 of $180D).
  void SetFastSerialDriver(bool present) { fastSerialDriver_ = present; }
  bool fastSerialDriver() const { return fastSerialDriver_; }

  std::span<uint8_t> ram() { return ram_; }

 private:
  enum class Area { kRam, kSerialVia, kDiskVia, kCia, kRom, kNone };
  Area Decode(uint16_t address) const;

  const DriveModel& model_;
  int device_;
  std::vector<uint8_t> ram_;
  std::vector<uint8_t> rom_;
  Via serialVia_;
  Via diskVia_;
  Cia cia_;
  bool fastSerialDriver_ = false;
  bool writeProtected_ = false;
};

}  // namespace sim
