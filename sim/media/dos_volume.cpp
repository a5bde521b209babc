#include "sim/media/dos_volume.h"

#include "sim/media/dos_errors.h"

namespace sim {
namespace {

constexpr size_t kFormatLetterOffset = 2;
constexpr size_t kDoubleSidedOffset = 3;
constexpr uint8_t kDoubleSidedFlag = 0x80;

DosStatus JobStatus(int job, const TrackSector& ts) {
  const int error = DosErrorOfJob(job);
  return error == kDosOk ? DosStatus{} : DosFail(error, ts.track, ts.sector);
}

}  // namespace

DosStatus NoDiskError(DriveKind kind) {
  if (kind == DriveKind::k1581) return DosFail(kDosDriveNotReady);
  return DosFail(kDosReadErrorNoSync, LayoutOf(DiskFormat::k1541).dirTrack, 0);
}

Volume::Volume(Disk& disk, const DiskLayout& layout, const DiskId& id, Bam bam,
               uint8_t formatLetter)
    : disk_(&disk), layout_(&layout), id_(id), bam_(std::move(bam)), formatLetter_(formatLetter) {}

DosStatus Volume::LogIn(DriveKind kind, bool doubleSidedMode, Disk* disk,
                        std::optional<Volume>& volume) {
  volume.reset();
  const bool is1581 = kind == DriveKind::k1581;
  if (!disk || disk->IsGcr() == is1581) return NoDiskError(kind);
  const DiskLayout* layout = &LayoutOf(is1581 ? DiskFormat::k1581 : DiskFormat::k1541);
  DiskId id = {0, 0};
  const TrackSector seek = {layout->dirTrack, 0};
  if (DosStatus status = JobStatus(disk->SeekHeader(seek.track, id), seek); !status.ok()) {
    return status;
  }
  SectorData header{};
  const TrackSector headerTs = layout->header;
  if (DosStatus status =
          JobStatus(disk->ReadSectorWithId(headerTs.track, headerTs.sector, header, id), headerTs);
      !status.ok()) {
    return status;
  }
  if (kind == DriveKind::k1571 && doubleSidedMode &&
      (header[kDoubleSidedOffset] & kDoubleSidedFlag)) {
    const DiskLayout& twoSides = LayoutOf(DiskFormat::k1571Double);
    SectorData probe{};
    const TrackSector sideTwoBam = twoSides.bamBlocks[1];
    if (disk->ReadSectorWithId(sideTwoBam.track, sideTwoBam.sector, probe, id) == kJobOk) {
      layout = &twoSides;
    }
  }
  std::vector<SectorData> blocks(layout->bamBlocks.size());
  for (size_t i = 0; i < blocks.size(); ++i) {
    const TrackSector ts = layout->bamBlocks[i];
    if (DosStatus status =
            JobStatus(disk->ReadSectorWithId(ts.track, ts.sector, blocks[i], id), ts);
        !status.ok()) {
      return status;
    }
  }
  volume.emplace(*disk, *layout, id, Bam(*layout, std::move(blocks)), header[kFormatLetterOffset]);
  return {};
}

// A job with no disk under the head: the GCR drives find no sync (a write looks for the sector's
// header first), the 1581 sees its disk-ready line low.
int Volume::NoDiskJob() const {
  return layout_->format == DiskFormat::k1581 ? kJobNoDisk : kJobNoSync;
}

DosStatus Volume::Read(const TrackSector& ts, SectorData& data) {
  if (!layout_->Valid(ts)) return DosFail(kDosIllegalTrackSector, ts.track, ts.sector);
  if (!disk_) return JobStatus(NoDiskJob(), ts);
  return JobStatus(disk_->ReadSectorWithId(ts.track, ts.sector, data, id_), ts);
}

DosStatus Volume::Write(const TrackSector& ts, const SectorData& data) {
  if (!layout_->Valid(ts)) return DosFail(kDosIllegalTrackSector, ts.track, ts.sector);
  if (formatLetter_ != layout_->formatLetter && formatLetter_ != 0) return DosFail(kDosVersion);
  if (!disk_) return JobStatus(NoDiskJob(), ts);
  return JobStatus(disk_->WriteSectorWithId(ts.track, ts.sector, data, id_), ts);
}

DosStatus Volume::WriteBam() {
  for (size_t i = 0; i < layout_->bamBlocks.size(); ++i) {
    if (DosStatus status = Write(layout_->bamBlocks[i], bam_.blocks()[i]); !status.ok())
      return status;
  }
  return {};
}

}  // namespace sim
