#pragma once
// The disk as the DOS of each drive organises it: where the header, the BAM and the directory
// lie, how many tracks it uses, and which letter marks its format.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace sim {

struct TrackSector {
  int track = 0;
  int sector = 0;
  bool operator==(const TrackSector&) const = default;
};

enum class DiskFormat {
  k1541,        // 35 tracks; also a 1571 disk read single-sided
  k1571Double,  // 70 tracks; BAM in 18/0 and 53/0, track 53 reserved
  k1581,        // 80 x 40; header 40/0, BAM 40/1 and 40/2, directory from 40/3
};

struct DiskLayout {
  DiskFormat format;
  int maxTrack;
  int dirTrack;
  int firstDirSector;
  int dirInterleave;
  TrackSector header;  // disk name, ID, DOS type, format letter at byte 2
  std::vector<TrackSector> bamBlocks;
  int reservedTrack;     // a whole track kept from files (0: none)
  size_t nameOffset;     // in the header block; the ID follows 18 bytes later
  uint8_t formatLetter;  // byte 2 of the header block
  char dosType[2];

  int SectorsOn(int track) const;
  bool Valid(const TrackSector& ts) const;
  int TotalBlocks() const;
};

const DiskLayout& LayoutOf(DiskFormat format);

}  // namespace sim
