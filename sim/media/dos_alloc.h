#pragma once
// Where the DOS puts the blocks of files and of the directory (1541 DOS 2.6; the 1571 and
// 1581 run the same routine with their own last track and directory track).
//
// First block of a file: the tracks nearest the directory track, alternately below and above
// it (17, 19, 16, 20, ... on a 1541), the lowest free sector of the first track with any.
// Next block: sector + interleave on the same track while it has free blocks (past the end:
// minus the sector count, minus one more unless that gave 0; then the first free sector from
// there, wrapping to 0). A full track moves one track further from the directory with the sector
// kept; past the last track the search goes on at the other side of the directory track from
// sector 0. A third such turn, or reaching the directory track, is DISK FULL.

#include "sim/media/dos_bam.h"

namespace sim {

DosStatus AllocateFirstBlock(Bam& bam, TrackSector& block);
DosStatus AllocateNextBlock(Bam& bam, const TrackSector& current, int interleave,
                            TrackSector& block);
// A new directory block after the last one, on the directory track only.
DosStatus AllocateDirectoryBlock(Bam& bam, const TrackSector& last, TrackSector& block);

}  // namespace sim
