#pragma once
// A 3.5" disk for the 1581: 80 tracks of 40 logical 256-byte sectors. The MFM recording is not
// modelled; each sector keeps the job code a read of it gives (from image error bytes), and an
// unformatted disk has no address marks at all.

#include <map>
#include <utility>
#include <vector>

#include "sim/media/disk.h"
#include "sim/media/gcr_sector.h"
#include "sim/media/weak_spot.h"

namespace sim {

class SectorDisk final : public Disk {
 public:
  // An unformatted disk.
  SectorDisk();

  bool Save(const std::string& path, std::string* error) const override;
  bool IsGcr() const override { return false; }
  int TrackCount() const override;
  int SectorsOnTrack(int track) const override;
  int ReadSector(int track, int sector, std::array<uint8_t, 256>& data) override;
  int WriteSector(int track, int sector, const std::array<uint8_t, 256>& data) override;
  // What a write of the sector would give, without writing it: kJobOk when the disk takes it.
  int WriteCode(int track, int sector) const;
  std::array<uint8_t, 2> HeaderId(int track) override;
  std::vector<uint8_t>& RawTrack(int track) override;
  int TrackZone(int track) const override;
  int ReadSectorWithId(int track, int sector, std::array<uint8_t, 256>& data,
                       const std::array<uint8_t, 2>& expectedId) override;
  int WriteSectorWithId(int track, int sector, const std::array<uint8_t, 256>& data,
                        const std::array<uint8_t, 2>& expectedId) override;
  int SeekHeader(int track, std::array<uint8_t, 2>& id) override;
  int FormatTrack(int track, const std::array<uint8_t, 2>& id,
                  const std::array<uint8_t, 256>& fill) override;
  void FormatTrackPart(int track, const std::array<uint8_t, 2>& id,
                       const std::array<uint8_t, 256>& fill, double part) override;
  bool IsDoubleSided() const override { return true; }
  void SetDoubleSided(bool) override {}

  // Direct access for image files: the stored bytes and the code a read gives.
  SectorData& Data(int track, int sector);
  const SectorData& Data(int track, int sector) const;
  int& Code(int track, int sector);
  int Code(int track, int sector) const;
  bool loadedWithErrorBytes() const { return loadedWithErrorBytes_; }
  void setLoadedWithErrorBytes(bool value) { loadedWithErrorBytes_ = value; }

  // Sectors (track, sector) whose recording has grown faint: the burst read reads them right on
  // some revolutions only.
  std::map<std::pair<int, int>, WeakSpot> faintSectors;

 private:
  bool Valid(int track, int sector) const;
  size_t Index(int track, int sector) const;

  std::vector<SectorData> sectors_;
  std::vector<int> codes_;
  std::vector<uint8_t> noTrack_;
  bool loadedWithErrorBytes_ = false;
};

}  // namespace sim
