#pragma once
// The block availability map as the DOS keeps it in RAM: per track a free count and a bitmap
// (bit set = free, sector 0 in bit 0 of the first byte).
//   1541: 18/0 $04 + 4(t-1): count, 3 map bytes, tracks 1-35
//   1571 double-sided: tracks 36-70 counts at 18/0 $DD + (t-36), maps at 53/0 3(t-36)
//   1581: 40/1 (tracks 1-40) and 40/2 (41-80), $10 + 6(t-1): count, 5 map bytes

#include <vector>

#include "sim/media/dos_errors.h"
#include "sim/media/dos_layout.h"
#include "sim/media/gcr_sector.h"

namespace sim {

class Bam {
 public:
  // blocks: the BAM sectors in the order of layout.bamBlocks.
  Bam(const DiskLayout& layout, std::vector<SectorData> blocks);

  const DiskLayout& layout() const { return *layout_; }
  const std::vector<SectorData>& blocks() const { return blocks_; }

  bool IsFree(const TrackSector& ts) const;
  int FreeCount(int track) const;
  int FreeBits(int track) const;
  // Marks a block used; 71 DIR ERROR when the track's count disagrees with its bitmap.
  DosStatus Allocate(const TrackSector& ts);
  void Free(const TrackSector& ts);
  // The "BLOCKS FREE." figure: the counts of every track but the directory track (and the
  // reserved track 53).
  int BlocksFree() const;
  // Every block free (the reserved track none), as a format or validate starts.
  void MarkAllFree();

 private:
  struct Slot {
    size_t countBlock;
    size_t countOffset;
    size_t mapBlock;
    size_t mapOffset;
  };
  Slot SlotOf(int track) const;
  void SetBit(const TrackSector& ts, bool free);

  const DiskLayout* layout_;
  std::vector<SectorData> blocks_;
};

// A fresh BAM for a format: blocks as layout.bamBlocks, all free but the header, BAM and first
// directory block; name and ID in the header fields where the header is a BAM block.
Bam FreshBam(const DiskLayout& layout, const DiskId& id);

}  // namespace sim
