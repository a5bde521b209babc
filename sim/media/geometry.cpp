#include "sim/media/geometry.h"

namespace sim {
namespace {

// One sector as the format routine lays it down: sync 5, header 10, gap 9, sync 5, data 325,
// and 4 spare bytes that the routine keeps in hand before it spreads the rest as gaps.
constexpr int kFormatBytesPerSector = 358;
constexpr int kSectorBytes = kFormatBytesPerSector - 4;

const GcrZone* ZoneOfTrack(int trackOnSide) {
  for (const GcrZone& zone : kGcrZones) {
    if (trackOnSide >= zone.firstTrack && trackOnSide <= zone.lastTrack) return &zone;
  }
  return nullptr;
}

}  // namespace

int GcrSectorsOnTrack(int trackOnSide) {
  const GcrZone* zone = ZoneOfTrack(trackOnSide);
  return zone ? zone->sectors : 0;
}

int GcrDensityOfTrack(int trackOnSide) {
  const GcrZone* zone = ZoneOfTrack(trackOnSide);
  return zone ? zone->densityCode : -1;
}

int GcrSectorsBefore(int trackOnSide) {
  int count = 0;
  for (int track = 1; track < trackOnSide; ++track) count += GcrSectorsOnTrack(track);
  return count;
}

int GcrTrackCapacity(int densityCode, double rpm) {
  constexpr double kClockHz = 4000000.0;
  constexpr double kSecondsPerMinute = 60.0;
  return static_cast<int>(kClockHz / (16 - densityCode) / 8 * kSecondsPerMinute / rpm);
}

int GcrSectorsOfZone(int densityCode) {
  for (const GcrZone& zone : kGcrZones) {
    if (zone.densityCode == densityCode) return zone.sectors;
  }
  return 0;
}

int GcrFormatGap(int densityCode, double rpm) {
  const int sectors = GcrSectorsOfZone(densityCode);
  const int gap = (GcrTrackCapacity(densityCode, rpm) - kFormatBytesPerSector * sectors) / sectors;
  return gap < 1 ? 1 : gap;
}

bool GcrZoneFitsTurn(int densityCode, double rpm) {
  const int sectors = GcrSectorsOfZone(densityCode);
  return sectors * (kSectorBytes + GcrFormatGap(densityCode, rpm)) <=
         GcrTrackCapacity(densityCode, rpm);
}

}  // namespace sim
