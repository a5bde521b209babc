#include "sim/bus/track_faults.h"

#include "sim/media/geometry.h"
#include "sim/media/sector_disk.h"

namespace sim {

namespace {

constexpr int kZones = 4;
constexpr int kWrongRateDistance = 2;

// The faint stretch of a GCR sector: GCR bytes of its data block, behind the block's ID and the
// first data bytes, so that the block is still found and only its contents read wrong.
constexpr size_t kFaintFromByte = 40;
constexpr size_t kFaintBytes = 80;
// A failing turn reads the faint stretch as the read amplifier's noise, which never holds a sync:
// at most this many one bits in a row (GCR itself allows eight, a sync needs ten); a 1581
// sector loses one in sixteen of its bytes.
constexpr size_t kLongestNoiseOnes = 5;
constexpr uint32_t kGarbledByteMask = 0xF;

uint32_t FaintSeed(int track, int sector) {
  return static_cast<uint32_t>(track) * 7919u + static_cast<uint32_t>(sector) * 104729u;
}

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

bool HasSectorToWeaken(const Disk* disk, int track, int sector) {
  if (disk == nullptr || sector < 0) return false;
  if (!disk->IsGcr()) {
    return track >= 1 && track <= disk->TrackCount() && sector < disk->SectorsOnTrack(track);
  }
  if (!HasGcrTrack(disk, track)) return false;
  const GcrDisk& gcr = static_cast<const GcrDisk&>(*disk);
  const auto where = gcr.Locate(track);
  const std::vector<uint8_t>& bytes = gcr.TrackOnSide((*where)[0], (*where)[1]).bytes;
  return GcrDataBlockBit(bytes, track, sector).has_value();
}

void WeakenSector(Disk& disk, int track, int sector) {
  if (!HasSectorToWeaken(&disk, track, sector)) return;
  if (!disk.IsGcr()) {
    if (auto* sectors = dynamic_cast<SectorDisk*>(&disk)) {
      sectors->faintSectors.insert_or_assign({track, sector}, WeakSpot(FaintSeed(track, sector)));
    }
    return;
  }
  GcrDisk::Track* raw = TrackOf(disk, track);
  const size_t block = *GcrDataBlockBit(raw->bytes, track, sector);
  const size_t ringBits = raw->bytes.size() * 8;
  raw->faint.push_back({(block + kFaintFromByte * 8) % ringBits, kFaintBytes * 8,
                        WeakSpot(FaintSeed(track, sector))});
}

std::span<const uint8_t> NextTurnOf(GcrDisk::Track& track, std::vector<uint8_t>& scratch) {
  if (track.faint.empty()) return track.bytes;
  scratch = track.bytes;
  const size_t ringBits = scratch.size() * 8;
  auto bitAt = [&](size_t bit) { return (scratch[bit % ringBits / 8] >> (7 - bit % 8)) & 1; };
  for (GcrDisk::Track::Faint& stretch : track.faint) {
    if (!stretch.spot.NextReadFails()) continue;
    // The ones already running into the stretch count towards a sync.
    size_t ones = 0;
    while (ones < kLongestNoiseOnes && bitAt(stretch.fromBit + ringBits - 1 - ones) != 0) ++ones;
    for (size_t i = 0; i < stretch.bitCount; ++i) {
      const size_t bit = (stretch.fromBit + i) % ringBits;
      const bool last = i + 1 == stretch.bitCount;
      const bool one = (stretch.spot.NextNoise() & 1u) != 0 && ones < kLongestNoiseOnes && !last;
      ones = one ? ones + 1 : 0;
      const auto mask = static_cast<uint8_t>(0x80u >> (bit % 8));
      scratch[bit / 8] = one ? (scratch[bit / 8] | mask) : (scratch[bit / 8] & ~mask);
    }
  }
  return scratch;
}

int FaintSectorRead(Disk& disk, int track, int sector, int code, SectorData& data) {
  auto* sectors = dynamic_cast<SectorDisk*>(&disk);
  if (sectors == nullptr || code != kJobOk) return code;
  const auto faint = sectors->faintSectors.find({track, sector});
  if (faint == sectors->faintSectors.end() || !faint->second.NextReadFails()) return code;
  for (uint8_t& byte : data) {
    const uint32_t noise = faint->second.NextNoise();
    if ((noise & kGarbledByteMask) == 0) byte ^= static_cast<uint8_t>(noise >> 8 | 1u);
  }
  return kJobDataChecksum;
}

void RecordTrackAtWrongRate(Disk& disk, int track) {
  GcrDisk::Track* raw = TrackOf(disk, track);
  if (raw == nullptr) return;
  raw->density = (raw->density + kWrongRateDistance) % kZones;
  raw->bytes.resize(static_cast<size_t>(GcrTrackCapacity(raw->density)), kGapByte);
}

}  // namespace sim
