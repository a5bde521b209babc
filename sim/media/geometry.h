#pragma once
// Where the sectors of Commodore disks lie: the speed zones of the GCR drives and the fixed
// 80 x 40 grid of the 1581. Image sizes, offsets and track capacities all derive from here.

#include <array>
#include <cstddef>

namespace sim {

struct GcrZone {
  int firstTrack;
  int lastTrack;
  int sectors;
  int densityCode;  // bits 5-6 of the drive's VIA 2 port B
};

// Tracks 36-42 are beyond the stock DOS but the head reaches them; they use zone 0.
inline constexpr std::array<GcrZone, 4> kGcrZones = {{
    {1, 17, 21, 3},
    {18, 24, 19, 2},
    {25, 30, 18, 1},
    {31, 42, 17, 0},
}};

inline constexpr int kGcrMaxTrack = 42;  // per side
inline constexpr int kGcrDirTrack = 18;
inline constexpr int kSideTwoFirstTrack = 36;  // 1571: side 2 carries DOS tracks 36-70

inline constexpr int k1581Tracks = 80;
inline constexpr int k1581Sectors = 40;
inline constexpr int k1581DirTrack = 40;

// Sectors on a track of one side (1..42); 0 for a track that does not exist.
int GcrSectorsOnTrack(int trackOnSide);
// Density code 0..3 of a track of one side; -1 when it does not exist.
int GcrDensityOfTrack(int trackOnSide);
// Sectors on all tracks of a side before the given one (the sector index of its sector 0).
int GcrSectorsBefore(int trackOnSide);
inline constexpr double kGcrNominalRpm = 300.0;

// Raw bytes in one revolution: 4 MHz / (16 - code) / 8 bytes per second, at 300 rpm 0.2 s.
int GcrTrackCapacity(int densityCode, double rpm = kGcrNominalRpm);
// The gap the DOS format leaves after each data block in a revolution of a drive turning at
// rpm: (capacity - 358 x sectors) / sectors, at least one byte.
int GcrFormatGap(int densityCode, double rpm = kGcrNominalRpm);
// Whether a revolution at rpm holds the zone's sectors with gaps of one byte.
bool GcrZoneFitsTurn(int densityCode, double rpm);
int GcrSectorsOfZone(int densityCode);

}  // namespace sim
