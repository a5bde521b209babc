#pragma once
// Faults of single tracks of a GCR disk, as tests put them on the virtual bus (faults.h).

#include <cstdint>
#include <span>
#include <vector>

#include "sim/media/disk.h"
#include "sim/media/gcr_disk.h"
#include "sim/media/gcr_sector.h"

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

// True when the disk has the sector: a GCR disk with its header and data block on the track, or
// a 1581 disk with the track and sector.
bool HasSectorToWeaken(const Disk* disk, int track, int sector);
// The sector's recording grows faint: on a GCR disk part of its data field, on a 1581 disk the
// sector. Reads of it then fail on some revolutions and are right on others (weak_spot.h).
void WeakenSector(Disk& disk, int track, int sector);
// The track's bits as the next revolution brings them under the head: a faint stretch that this
// turn reads wrong gives the read amplifier's noise instead of its bits. The bytes are the
// track's own unless something is faint; scratch holds them otherwise.
std::span<const uint8_t> NextTurnOf(GcrDisk::Track& track, std::vector<uint8_t>& scratch);
// A 1581 read of a sector the controller read as `code` in the next revolution: a faint sector
// that reads wrong there gives a data CRC error and bytes that are not all its own.
int FaintSectorRead(Disk& disk, int track, int sector, int code, SectorData& data);

}  // namespace sim
