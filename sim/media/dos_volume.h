#pragma once
// The disk as the DOS has logged it in: the master ID read by a seek, the layout, the BAM in
// RAM and the format letter compared before every write.

#include <optional>

#include "sim/media/disk.h"
#include "sim/media/dos.h"
#include "sim/media/dos_bam.h"

namespace sim {

class Volume {
 public:
  // Seeks a header on the directory track for the ID, reads the header and BAM blocks. A 1571
  // in 1571 mode takes a disk as double-sided when 18/0 byte 3 has bit 7 set and 53/0 reads.
  static DosStatus LogIn(DriveKind kind, bool doubleSidedMode, Disk* disk,
                         std::optional<Volume>& volume);

  Volume(Disk& disk, const DiskLayout& layout, const DiskId& id, Bam bam, uint8_t formatLetter);

  DosStatus Read(const TrackSector& ts, SectorData& data);
  // Refused with 73 when the disk's format letter is foreign, with 26 when protected.
  DosStatus Write(const TrackSector& ts, const SectorData& data);
  DosStatus WriteBam();

  // The disk in the drive now; nullptr once it has been pulled out. The DOS keeps what it
  // logged in (ID, BAM in RAM) while files are open, and its jobs go to whatever disk is there.
  Disk* disk() { return disk_; }
  void SetDisk(Disk* disk) { disk_ = disk; }
  const DiskLayout& layout() const { return *layout_; }
  const DiskId& id() const { return id_; }
  Bam& bam() { return bam_; }
  const Bam& bam() const { return bam_; }
  uint8_t formatLetter() const { return formatLetter_; }

 private:
  int NoDiskJob() const;

  Disk* disk_;
  const DiskLayout* layout_;
  DiskId id_;
  Bam bam_;
  uint8_t formatLetter_;
};

// What the DOS reports when there is no disk to log in: a 1541 has no disk sensor and fails to
// read the directory track; a 1581 knows.
DosStatus NoDiskError(DriveKind kind);

}  // namespace sim
