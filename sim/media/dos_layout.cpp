#include "sim/media/dos_layout.h"

#include "sim/media/geometry.h"

namespace sim {

const DiskLayout& LayoutOf(DiskFormat format) {
  static const DiskLayout k1541 = {DiskFormat::k1541, 35, 18,   1,   3,         {18, 0},
                                   {{18, 0}},         0,  0x90, 'A', {'2', 'A'}};
  static const DiskLayout k1571 = {DiskFormat::k1571Double, 70, 18,   1,   3,         {18, 0},
                                   {{18, 0}, {53, 0}},      53, 0x90, 'A', {'2', 'A'}};
  static const DiskLayout k1581 = {DiskFormat::k1581,  80, 40,   3,   1,         {40, 0},
                                   {{40, 1}, {40, 2}}, 0,  0x04, 'D', {'3', 'D'}};
  switch (format) {
    case DiskFormat::k1541:
      return k1541;
    case DiskFormat::k1571Double:
      return k1571;
    case DiskFormat::k1581:
      return k1581;
  }
  return k1541;
}

int DiskLayout::SectorsOn(int track) const {
  if (track < 1 || track > maxTrack) return 0;
  if (format == DiskFormat::k1581) return k1581Sectors;
  return GcrSectorsOnTrack(track >= kSideTwoFirstTrack ? track - (kSideTwoFirstTrack - 1) : track);
}

bool DiskLayout::Valid(const TrackSector& ts) const {
  return ts.sector >= 0 && ts.sector < SectorsOn(ts.track);
}

int DiskLayout::TotalBlocks() const {
  int total = 0;
  for (int track = 1; track <= maxTrack; ++track) total += SectorsOn(track);
  return total;
}

}  // namespace sim
