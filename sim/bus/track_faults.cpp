#include "sim/bus/track_faults.h"

#include "sim/media/gcr_disk.h"
#include "sim/media/gcr_sector.h"
#include "sim/media/geometry.h"

namespace sim {

namespace {

constexpr int kZones = 4;
constexpr int kWrongRateDistance = 2;

GcrDisk::Track* TrackOf(Disk& disk, int track) {
  if (!HasGcrTrack(&disk, track)) return nullptr;
  GcrDisk& gcr = static_cast<GcrDisk&>(disk);
  const auto where = gcr.Locate(track);
  return &gcr.TrackOnSide((*where)[0], (*where)[1]);
}

}  // namespace

bool HasGcrTrack(const Disk* disk, int track) {
  return disk != nullptr && disk->IsGcr() &&
         static_cast<const GcrDisk*>(disk)->Locate(track).has_value();
}

bool HasSector(const Disk* disk, int track, int sector) {
  if (disk == nullptr || (disk->IsGcr() && !HasGcrTrack(disk, track))) return false;
  if (track < 1 || track > disk->TrackCount()) return false;
  return sector >= 0 && sector < disk->SectorsOnTrack(track);
}

void UnformatTrack(Disk& disk, int track) {
  GcrDisk::Track* raw = TrackOf(disk, track);
  if (raw == nullptr) return;
  raw->bytes = NoiseTrack(raw->bytes.size(), static_cast<uint32_t>(track) * 7919u);
  raw->present = false;
}

void RecordTrackAtWrongRate(Disk& disk, int track) {
  GcrDisk::Track* raw = TrackOf(disk, track);
  if (raw == nullptr) return;
  raw->density = (raw->density + kWrongRateDistance) % kZones;
  raw->bytes.resize(static_cast<size_t>(GcrTrackCapacity(raw->density)), kGapByte);
}

}  // namespace sim
