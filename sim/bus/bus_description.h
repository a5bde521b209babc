#pragma once
// The text that describes a virtual bus: its drives and their disks.
//
//   sim:8=1541-II+:games.d64,9=1581:work.d81:wp,10=1571,11=1541@310rpm:blank:off
//
// Drives are separated by commas. Each is DEVICE=MODEL, then optionally:
//   +          the 6522 fast serial driver (1541 family, 1570, 1571)
//   @RPM[rpm]  the disk speed (default 300 rpm), 200 to 400
//   ~D[/S[s]]  after the speed: a slow drift of the speed, D percent (more than 0, at most 3)
//              either way along a sine of S seconds (1 to 3600, default 10), e.g.
//              @300rpm~0.4 or @294~0.25/6s
//   :IMAGE     the disk in the drive: a .d64, .d71, .d81 or .g64 file, or "blank" for an
//              unformatted disk; without it the drive is empty
//   :wp        the disk is write-protected
//   :off       the drive starts switched off
//   :steady    the drive's speed measurement shows no jitter
//   :1571mode  a 1571 that starts in 1571 mode (as a C128 switches it); without it a 1571
//              starts in 1541 mode, as after power-up with a C64
//   :written@RPM[rpm]  the .d64/.d71 image's tracks as a drive turning at RPM wrote them: each
//              one of that drive's revolutions long (e.g. :written@294 for a slow drive)
//   :weak@T/S  sector S of track T of the disk is weak: some reads of it fail, others not (the
//              fault "weak"); may be given more than once
// DEVICE is 8 to 11; MODEL a name as the program shows it: 1541, 1541-C, 1541-II,
// 1541-JIFFY, 1541-SDOS, 1570, 1571, 1581, or 1541-OTHER, a 1541 whose ROM byte at $FF40
// names no model the program knows (any case). The "sim:" prefix is optional here.
// Image paths may hold ":" (C:\disks\a.d64) but no ",".

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "sim/bus/bus_timing.h"
#include "sim/bus/drive_models.h"
#include "sim/bus/spindle.h"

namespace sim {

inline constexpr std::string_view kBusPrefix = "sim:";
inline constexpr std::string_view kBlankDisk = "blank";

struct DriveDescription {
  int device = 0;
  const DriveModel* model = nullptr;
  bool fastSerialDriver = false;
  double rpm = kDefaultRpm;
  double driftPercent = 0.0;  // 0: no drift
  int64_t driftPeriodUs = kDefaultDriftPeriodUs;
  std::string imagePath;  // empty: no image file
  bool blankDisk = false;
  bool writeProtected = false;
  bool poweredOff = false;
  bool steadySpeed = false;
  bool starts1571Mode = false;
  double writerRpm = 0.0;  // 0: the image's tracks as a drive at 300 rpm lays them
  std::vector<std::array<int, 2>> weakSectors;  // {track, sector}
};

// false with a message in *error when the text is not a bus description.
bool ParseBusDescription(std::string_view text, std::vector<DriveDescription>* drives,
                         std::string* error);

}  // namespace sim
