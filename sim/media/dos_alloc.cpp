#include "sim/media/dos_alloc.h"

namespace sim {
namespace {

constexpr int kTurnsBeforeFull = 3;

DosStatus DiskFull() {
  return DosFail(kDosDiskFull);
}

// Step 1 of the next-block search on a track that has free blocks.
DosStatus TakeOnTrack(Bam& bam, int track, int sector, int interleave, TrackSector& block) {
  const int sectors = bam.layout().SectorsOn(track);
  int candidate = sector + interleave;
  if (candidate > sectors) {
    candidate -= sectors;
    if (candidate != 0) --candidate;
  }
  for (int pass = 0; pass < 2; ++pass) {
    for (int s = pass == 0 ? candidate : 0; s < sectors; ++s) {
      if (bam.IsFree({track, s})) {
        block = {track, s};
        return bam.Allocate(block);
      }
    }
  }
  return DosFail(kDosDirError, track, 0);
}

}  // namespace

DosStatus AllocateFirstBlock(Bam& bam, TrackSector& block) {
  const DiskLayout& layout = bam.layout();
  for (int distance = 1;; ++distance) {
    const int below = layout.dirTrack - distance;
    const int above = layout.dirTrack + distance;
    if (below < 1 && above > layout.maxTrack) return DiskFull();
    for (int track : {below, above}) {
      if (track < 1 || track > layout.maxTrack || bam.FreeCount(track) == 0) continue;
      return TakeOnTrack(bam, track, -1, 1, block);
    }
  }
}

DosStatus AllocateNextBlock(Bam& bam, const TrackSector& current, int interleave,
                            TrackSector& block) {
  const DiskLayout& layout = bam.layout();
  int track = current.track;
  int sector = current.sector;
  int turns = 0;
  while (track != layout.dirTrack) {
    if (bam.FreeCount(track) > 0) return TakeOnTrack(bam, track, sector, interleave, block);
    if (track < layout.dirTrack) {
      if (--track < 1) {
        track = layout.dirTrack + 1;
        sector = 0;
        ++turns;
      }
    } else if (++track > layout.maxTrack) {
      track = layout.dirTrack - 1;
      sector = 0;
      ++turns;
    }
    if (turns == kTurnsBeforeFull) break;
  }
  return DiskFull();
}

DosStatus AllocateDirectoryBlock(Bam& bam, const TrackSector& last, TrackSector& block) {
  const DiskLayout& layout = bam.layout();
  if (bam.FreeCount(layout.dirTrack) == 0) return DiskFull();
  return TakeOnTrack(bam, layout.dirTrack, last.sector, layout.dirInterleave, block);
}

}  // namespace sim
