#pragma once
// Faults of single tracks of a GCR disk, as tests put them on the virtual bus (faults.h).

#include "sim/media/disk.h"

namespace sim {

// True when the disk is a GCR disk that has the track (numbered as the DOS numbers it).
bool HasGcrTrack(const Disk* disk, int track);
// True when the disk (GCR or the 1581's) has the sector on the track (numbered as the DOS
// numbers it).
bool HasSector(const Disk* disk, int track, int sector);
// The track is erased: noise without a single sync.
void UnformatTrack(Disk& disk, int track);
// The track's recording made again at a bit rate two zones away from its own: the same bytes,
// as many as a revolution at that rate holds (gap bytes fill a longer turn).
void RecordTrackAtWrongRate(Disk& disk, int track);

}  // namespace sim
