#include "sim/media/gcr_disk.h"

#include <algorithm>
#include <utility>

#include "sim/media/head_signal.h"
#include "sim/media/images.h"

namespace sim {

namespace {

// A format lays each track down as a turn at 300 rpm holds it.
constexpr double kNominalRevolutionUs = 200'000.0;

}  // namespace

GcrDisk::GcrDisk() {
  for (int side = 0; side < 2; ++side) {
    for (int t = 1; t <= kGcrMaxTrack; ++t) {
      Track& track = TrackOnSide(side, t);
      track.density = GcrDensityOfTrack(t);
      track.bytes = NoiseTrack(static_cast<size_t>(GcrTrackCapacity(track.density)),
                               static_cast<uint32_t>(side * 64 + t));
    }
  }
}

bool GcrDisk::Save(const std::string& path, std::string* error) const {
  const std::string extension = ExtensionOf(path);
  std::vector<uint8_t> image;
  if (extension == "d64") {
    image = D64FromDisk(*this);
  } else if (extension == "d71") {
    image = D71FromDisk(*this);
  } else if (extension == "g64") {
    image = G64FromDisk(*this);
  } else {
    if (error) *error = "cannot save a GCR disk as \"" + path + "\": use .d64, .d71 or .g64";
    return false;
  }
  return WriteFileBytes(path, image, error);
}

int GcrDisk::TrackCount() const {
  return doubleSided_ ? 2 * kSideTwoFirstTrack - 2 : tracksPerSide_;
}

std::optional<std::array<int, 2>> GcrDisk::Locate(int track) const {
  if (doubleSided_ && track >= kSideTwoFirstTrack && track < 2 * kSideTwoFirstTrack - 1) {
    return std::array<int, 2>{1, track - (kSideTwoFirstTrack - 1)};
  }
  if (track >= 1 && track <= kGcrMaxTrack) return std::array<int, 2>{0, track};
  return std::nullopt;
}

int GcrDisk::HeaderTrack(int side, int trackOnSide) {
  return side == 0 ? trackOnSide : trackOnSide + kSideTwoFirstTrack - 1;
}

int GcrDisk::SectorsOnTrack(int track) const {
  const auto where = Locate(track);
  return where ? GcrSectorsOnTrack((*where)[1]) : 0;
}

GcrDisk::Track& GcrDisk::TrackOnSide(int side, int trackOnSide) {
  return sides_[static_cast<size_t>(side)][static_cast<size_t>(trackOnSide - 1)];
}

const GcrDisk::Track& GcrDisk::TrackOnSide(int side, int trackOnSide) const {
  return sides_[static_cast<size_t>(side)][static_cast<size_t>(trackOnSide - 1)];
}

int GcrDisk::ReadSector(int track, int sector, std::array<uint8_t, 256>& data) {
  return ReadSectorWithId(track, sector, data, id_);
}

int GcrDisk::WriteSector(int track, int sector, const std::array<uint8_t, 256>& data) {
  return WriteSectorWithId(track, sector, data, id_);
}

int GcrDisk::ReadSectorWithId(int track, int sector, std::array<uint8_t, 256>& data,
                              const std::array<uint8_t, 2>& expectedId) {
  const auto where = Locate(track);
  if (!where) return kJobNoSync;
  const Track& raw = TrackOnSide((*where)[0], (*where)[1]);
  return ReadGcrSector(raw.bytes, track, sector, &expectedId, data);
}

int GcrDisk::WriteSectorWithId(int track, int sector, const std::array<uint8_t, 256>& data,
                               const std::array<uint8_t, 2>& expectedId) {
  if (writeProtected) return kJobWriteProtect;
  const auto where = Locate(track);
  if (!where) return kJobNoSync;
  Track& raw = TrackOnSide((*where)[0], (*where)[1]);
  return WriteGcrSector(raw.bytes, track, sector, &expectedId, data);
}

int GcrDisk::SeekHeader(int track, std::array<uint8_t, 2>& id) {
  const auto where = Locate(track);
  if (!where) return kJobNoSync;
  const std::vector<uint8_t>& bytes = TrackOnSide((*where)[0], (*where)[1]).bytes;
  const double bitCount = static_cast<double>(bytes.size() * 8);
  const SeekedHeader seek =
      SeekGcrHeader(bytes, static_cast<size_t>(angle * bitCount), NoSyncBits(bytes));
  if (seek.code == kJobOk) id = seek.id;
  return seek.code;
}

std::array<uint8_t, 2> GcrDisk::HeaderId(int track) {
  DiskId id = {0, 0};
  const auto where = Locate(track);
  if (where) PrevailingGcrHeaderId(TrackOnSide((*where)[0], (*where)[1]).bytes, id);
  return id;
}

std::vector<uint8_t>& GcrDisk::RawTrack(int track) {
  const auto where = Locate(track);
  if (!where) {
    noTrack_.clear();
    return noTrack_;
  }
  return TrackOnSide((*where)[0], (*where)[1]).bytes;
}

int GcrDisk::TrackZone(int track) const {
  const auto where = Locate(track);
  return where ? TrackOnSide((*where)[0], (*where)[1]).density : -1;
}

int GcrDisk::FormatTrack(int track, const std::array<uint8_t, 2>& id,
                         const std::array<uint8_t, 256>& fill) {
  if (writeProtected) return kJobWriteProtect;
  const auto where = Locate(track);
  if (!where) return kJobNoSync;
  std::vector<SectorPlan> plans(static_cast<size_t>(GcrSectorsOnTrack((*where)[1])));
  for (SectorPlan& plan : plans) plan.data = fill;
  LayTrack((*where)[0], (*where)[1], id, plans);
  // A format names the disk by the ID it gives the directory track.
  if (track == kGcrDirTrack) id_ = id;
  return kJobOk;
}

void GcrDisk::FormatTrackPart(int track, const std::array<uint8_t, 2>& id,
                              const std::array<uint8_t, 256>& fill, double part) {
  const auto where = Locate(track);
  if (!where || writeProtected) return;
  Track& raw = TrackOnSide((*where)[0], (*where)[1]);
  std::vector<uint8_t> old = raw.bytes;
  const DiskId oldId = id_;
  FormatTrack(track, id, fill);
  const std::vector<uint8_t> fresh = std::exchange(raw.bytes, std::move(old));
  id_ = oldId;
  const auto laid =
      static_cast<size_t>(std::clamp(part, 0.0, 1.0) * static_cast<double>(fresh.size()));
  WriteRevolution(raw.bytes, raw.density, kNominalRevolutionUs, 0.0, std::span(fresh).first(laid));
}

void GcrDisk::LayTrack(int side, int trackOnSide, const DiskId& id,
                       std::span<const SectorPlan> sectors, double writerRpm) {
  Track& track = TrackOnSide(side, trackOnSide);
  track.density = GcrDensityOfTrack(trackOnSide);
  track.bytes = BuildGcrTrack(HeaderTrack(side, trackOnSide), id, sectors,
                              GcrFormatGap(track.density, writerRpm),
                              static_cast<size_t>(GcrTrackCapacity(track.density, writerRpm)));
  track.present = true;
}

bool GcrDisk::RewriteAtSpeed(double rpm) {
  for (const GcrZone& zone : kGcrZones) {
    if (!GcrZoneFitsTurn(zone.densityCode, rpm)) return false;
  }
  for (int side = 0; side < 2; ++side) {
    for (int t = 1; t <= kGcrMaxTrack; ++t) {
      if (!TrackOnSide(side, t).present) continue;
      const std::vector<SalvagedSector> read = SalvageGcrTrack(
          TrackOnSide(side, t).bytes, HeaderTrack(side, t), GcrSectorsOnTrack(t), id_);
      std::vector<SectorPlan> plans(read.size());
      for (size_t s = 0; s < read.size(); ++s) {
        plans[s].data = read[s].data;
        plans[s].defect = read[s].code;
      }
      LayTrack(side, t, id_, plans, rpm);
    }
  }
  return true;
}

void GcrDisk::SetRawTrack(int side, int trackOnSide, std::vector<uint8_t> bytes, int density) {
  Track& track = TrackOnSide(side, trackOnSide);
  track.bytes = std::move(bytes);
  track.density = density;
  track.present = true;
}

}  // namespace sim
