#include "sim/media/sector_disk.h"

#include <algorithm>

#include "sim/media/geometry.h"
#include "sim/media/images.h"

namespace sim {
namespace {

constexpr int kHeaderSector = 0;
constexpr size_t kIdOffset = 0x16;  // in the header sector 40/0

// Codes that describe a sector whose header cannot be found: a write cannot place data there.
bool HeaderMissing(int code) {
  return code == kJobHeaderNotFound || code == kJobNoSync || code == kJobHeaderChecksum ||
         code == kJobIdMismatch;
}

}  // namespace

SectorDisk::SectorDisk()
    : sectors_(static_cast<size_t>(k1581Tracks * k1581Sectors)),
      codes_(static_cast<size_t>(k1581Tracks * k1581Sectors), kJobNoSync) {}

bool SectorDisk::Save(const std::string& path, std::string* error) const {
  if (ExtensionOf(path) != "d81") {
    if (error) *error = "cannot save a 1581 disk as \"" + path + "\": use .d81";
    return false;
  }
  return WriteFileBytes(path, D81FromDisk(*this), error);
}

int SectorDisk::TrackCount() const {
  return k1581Tracks;
}

int SectorDisk::SectorsOnTrack(int track) const {
  return track >= 1 && track <= k1581Tracks ? k1581Sectors : 0;
}

bool SectorDisk::Valid(int track, int sector) const {
  return track >= 1 && track <= k1581Tracks && sector >= 0 && sector < k1581Sectors;
}

size_t SectorDisk::Index(int track, int sector) const {
  return static_cast<size_t>((track - 1) * k1581Sectors + sector);
}

SectorData& SectorDisk::Data(int track, int sector) {
  return sectors_[Index(track, sector)];
}
const SectorData& SectorDisk::Data(int track, int sector) const {
  return sectors_[Index(track, sector)];
}
int& SectorDisk::Code(int track, int sector) {
  return codes_[Index(track, sector)];
}
int SectorDisk::Code(int track, int sector) const {
  return codes_[Index(track, sector)];
}

int SectorDisk::ReadSector(int track, int sector, std::array<uint8_t, 256>& data) {
  if (!Valid(track, sector)) return kJobHeaderNotFound;
  const int code = Code(track, sector);
  if (code == kJobOk || code == kJobDataChecksum) data = Data(track, sector);
  return code;
}

int SectorDisk::WriteCode(int track, int sector) const {
  if (writeProtected) return kJobWriteProtect;
  if (!Valid(track, sector)) return kJobHeaderNotFound;
  const int code = Code(track, sector);
  return HeaderMissing(code) ? code : kJobOk;
}

int SectorDisk::WriteSector(int track, int sector, const std::array<uint8_t, 256>& data) {
  const int code = WriteCode(track, sector);
  if (code != kJobOk) return code;
  Data(track, sector) = data;
  Code(track, sector) = kJobOk;
  return kJobOk;
}

// MFM headers carry no disk ID; the 1581 keeps it in its header sector.
int SectorDisk::ReadSectorWithId(int track, int sector, std::array<uint8_t, 256>& data,
                                 const std::array<uint8_t, 2>&) {
  return ReadSector(track, sector, data);
}

int SectorDisk::WriteSectorWithId(int track, int sector, const std::array<uint8_t, 256>& data,
                                  const std::array<uint8_t, 2>&) {
  return WriteSector(track, sector, data);
}

int SectorDisk::SeekHeader(int track, std::array<uint8_t, 2>& id) {
  if (!Valid(track, kHeaderSector)) return kJobHeaderNotFound;
  const int code = Code(track, kHeaderSector);
  if (HeaderMissing(code)) return code;
  id = HeaderId(track);
  return kJobOk;
}

std::array<uint8_t, 2> SectorDisk::HeaderId(int) {
  const SectorData& header = Data(k1581DirTrack, kHeaderSector);
  return {header[kIdOffset], header[kIdOffset + 1]};
}

std::vector<uint8_t>& SectorDisk::RawTrack(int) {
  noTrack_.clear();
  return noTrack_;
}

int SectorDisk::TrackZone(int) const {
  return -1;
}

int SectorDisk::FormatTrack(int track, const std::array<uint8_t, 2>&,
                            const std::array<uint8_t, 256>& fill) {
  if (writeProtected) return kJobWriteProtect;
  if (!Valid(track, 0)) return kJobHeaderNotFound;
  for (int sector = 0; sector < k1581Sectors; ++sector) {
    Data(track, sector) = fill;
    Code(track, sector) = kJobOk;
  }
  return kJobOk;
}

void SectorDisk::FormatTrackPart(int track, const std::array<uint8_t, 2>&,
                                 const std::array<uint8_t, 256>& fill, double part) {
  if (writeProtected || !Valid(track, 0)) return;
  const int laid = static_cast<int>(std::clamp(part, 0.0, 1.0) * k1581Sectors);
  for (int sector = 0; sector < laid; ++sector) {
    Data(track, sector) = fill;
    Code(track, sector) = kJobOk;
  }
  // The sector the write current stopped in has its header, not its data field.
  if (laid < k1581Sectors) Code(track, laid) = kJobDataChecksum;
}

}  // namespace sim
