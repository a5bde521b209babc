#include "sim/bus/track_cache.h"

#include <algorithm>

namespace sim {

void TrackCache::MoveTo(SectorDisk& disk, int track, int sector) {
  const int side = sector / kSectors;
  if (track == track_ && side == side_) return;
  WriteBack(&disk);
  track_ = track;
  side_ = side;
}

int TrackCache::Write(SectorDisk& disk, int track, int sector, const SectorData& data) {
  MoveTo(disk, track, sector);
  const int code = disk.WriteCode(track, sector);
  if (code == kJobOk) written_[static_cast<size_t>(sector % kSectors)] = data;
  return code;
}

int TrackCache::Read(SectorDisk& disk, int track, int sector, SectorData& data) {
  MoveTo(disk, track, sector);
  if (const std::optional<SectorData>& cached = written_[static_cast<size_t>(sector % kSectors)]) {
    data = *cached;
    return kJobOk;
  }
  return disk.ReadSector(track, sector, data);
}

void TrackCache::WriteBack(SectorDisk* disk) {
  if (disk == nullptr) return;
  for (int i = 0; i < kSectors; ++i) {
    std::optional<SectorData>& cached = written_[static_cast<size_t>(i)];
    const int sector = side_ * kSectors + i;
    if (cached && disk->WriteSector(track_, sector, *cached) == kJobOk && spoiled_ &&
        spoiled_->track == track_ && spoiled_->sector == sector) {
      constexpr size_t kSpoiledByte = 128;
      disk->Data(track_, sector)[kSpoiledByte] ^= 0x01;
      if (!spoiled_->crcOverTheFlip) disk->Code(track_, sector) = kJobDataChecksum;
      spoiled_.reset();
    }
    cached.reset();
  }
}

bool TrackCache::Forget(int track, int sector) {
  if (track != track_ || sector / kSectors != side_) return false;
  std::optional<SectorData>& cached = written_[static_cast<size_t>(sector % kSectors)];
  const bool held = cached.has_value();
  cached.reset();
  return held;
}

void TrackCache::Drop() {
  track_ = 0;
  side_ = 0;
  written_.fill(std::nullopt);
}

bool TrackCache::holdsWrites() const {
  return std::any_of(written_.begin(), written_.end(),
                     [](const std::optional<SectorData>& cached) { return cached.has_value(); });
}

}  // namespace sim
