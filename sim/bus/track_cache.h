#pragma once
// The 1581's track cache. The controller reads one side of a cylinder (ten 512-byte sectors:
// logical sectors 0-19 or 20-39 of a track) into RAM and works there. A burst write changes
// the cache only; the written sectors reach the disk when the cache is written back, which the
// drive does when the head goes to another track or side, when the DOS works with the disk,
// and on the dump command ("U0" + $1D). A disk taken out, a reset or a power-off before that
// loses them.

#include <array>
#include <optional>

#include "sim/media/sector_disk.h"

namespace sim {

class TrackCache {
 public:
  // Logical sectors on one side of a cylinder.
  static constexpr int kSectors = 20;

  // The head goes to the side of `track` that holds `sector`: written sectors of another side
  // or track go back to the disk first.
  void MoveTo(SectorDisk& disk, int track, int sector);
  // A burst write of one sector: the disk's answer for the sector (kJobOk when it has the
  // sector's address mark and no write-protect tab); then the data is in the cache.
  int Write(SectorDisk& disk, int track, int sector, const SectorData& data);
  // A burst read of one sector: a sector written into the cache comes from there.
  int Read(SectorDisk& disk, int track, int sector, SectorData& data);
  // The written sectors go to the disk (nothing happens without a disk).
  void WriteBack(SectorDisk* disk);
  // A written sector that never reached the cache after all (its transfer was cut): true when
  // the cache held it.
  bool Forget(int track, int sector);
  // Forgets the cache: the disk is gone or the drive restarts.
  void Drop();
  bool holdsWrites() const;
  // The next time the sector goes back to the disk it is laid down wrong: its data with a bit
  // flipped, read with code 5 (a fault of the virtual bus). With `crcOverTheFlip` the bit
  // flipped in the buffer before the controller made the sector's CRC (a bad bit of the drive's
  // RAM): the disk holds wrong data that reads back good.
  void SpoilWriteBack(int track, int sector, bool crcOverTheFlip) {
    spoiled_ = Spoiled{track, sector, crcOverTheFlip};
  }

 private:
  int track_ = 0;  // 0: nothing cached
  int side_ = 0;   // 0: sectors 0-19, 1: sectors 20-39
  std::array<std::optional<SectorData>, kSectors> written_{};
  struct Spoiled {
    int track;
    int sector;
    bool crcOverTheFlip;
  };
  std::optional<Spoiled> spoiled_;
};

}  // namespace sim
