#pragma once
// The drive models the virtual bus can hold: what tells them apart on the wire and in memory.

#include <cstdint>
#include <span>
#include <string_view>

#include "sim/media/dos.h"

namespace sim {

// What the drives of one kind share: the board and the way its DOS uses memory.
struct DriveBoard {
  bool fastSerial;           // answers on the bus in fast serial mode (IEC status $20 on OPEN)
  uint16_t ramSize;          // RAM from $0000
  uint16_t romStart;         // ROM from here to $FFFF
  bool hasVias;              // VIA 1 at $1800 (serial bus), VIA 2 at $1C00 (disk)
  bool hasCia;               // CIA at $4000 (fast serial shift register)
  bool bamBufferAt0700;      // the DOS keeps the BAM sector in the buffer at $0700
  bool maxTrackAt02AC;       // the DOS keeps the maximum track + 1 at $02AC
  int sectorsPerRevolution;  // sectors under the head per revolution, for timing
};

struct DriveModel {
  std::string_view name;  // as the program shows it, e.g. "1541-II"
  uint8_t idByte;         // ROM byte at $FF40
  uint8_t idByteNext;     // ROM byte at $FF41
  DriveKind kind;         // the DOS it runs
  const DriveBoard& board;
};

std::span<const DriveModel> DriveModels();
// Case-insensitive lookup by name; nullptr when unknown.
const DriveModel* FindDriveModel(std::string_view name);

}  // namespace sim
