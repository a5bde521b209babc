#pragma once
// A 5.25" disk for the GCR drives: both sides, 42 tracks each, as raw GCR bytes. Which tracks
// the DOS numbers 36-70 depends on whether the disk was made double-sided.

#include <array>
#include <optional>
#include <span>
#include <vector>

#include "sim/media/disk.h"
#include "sim/media/gcr_sector.h"
#include "sim/media/geometry.h"
#include "sim/media/weak_spot.h"

namespace sim {

class GcrDisk final : public Disk {
 public:
  struct Track {
    std::vector<uint8_t> bytes;
    int density = 0;
    bool present = false;  // written by a format or an image, not unformatted noise
    // Stretches of faint bits (from a bit of the ring, so many bits); a new recording of the
    // track is strong again.
    struct Faint {
      size_t fromBit = 0;
      size_t bitCount = 0;
      WeakSpot spot{0};
    };
    std::vector<Faint> faint;
  };

  // An unformatted disk: noise on every track.
  GcrDisk();

  bool Save(const std::string& path, std::string* error) const override;
  bool IsGcr() const override { return true; }
  int TrackCount() const override;
  int SectorsOnTrack(int track) const override;
  int ReadSector(int track, int sector, std::array<uint8_t, 256>& data) override;
  int WriteSector(int track, int sector, const std::array<uint8_t, 256>& data) override;
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
  bool IsDoubleSided() const override { return doubleSided_; }
  void SetDoubleSided(bool doubleSided) override { doubleSided_ = doubleSided; }

  // Physical access: side 0 or 1, track 1..42 on that side.
  Track& TrackOnSide(int side, int trackOnSide);
  const Track& TrackOnSide(int side, int trackOnSide) const;
  // Lays down a formatted track with the given sectors (defects included), as a drive turning
  // at writerRpm formats it: one of its revolutions long, the gaps as its format sizes them.
  void LayTrack(int side, int trackOnSide, const DiskId& id, std::span<const SectorPlan> sectors,
                double writerRpm = kGcrNominalRpm);
  // Lays every formatted track again as a drive turning at rpm writes it, with the sectors (and
  // defects) read from it. false, the disk unchanged, when a zone's sectors do not fit one
  // turn at that speed.
  bool RewriteAtSpeed(double rpm);
  // Replaces a track with raw bytes, as a G64 image holds them.
  void SetRawTrack(int side, int trackOnSide, std::vector<uint8_t> bytes, int density);

  // Tracks per side the DOS and image files count: 35, 40 or 42.
  int tracksPerSide() const { return tracksPerSide_; }
  void setTracksPerSide(int tracks) { tracksPerSide_ = tracks; }
  // The ID the disk was formatted with (that of its directory track); plain ReadSector checks
  // headers against it.
  const DiskId& id() const { return id_; }
  void setId(const DiskId& id) { id_ = id; }
  bool loadedWithErrorBytes() const { return loadedWithErrorBytes_; }
  void setLoadedWithErrorBytes(bool value) { loadedWithErrorBytes_ = value; }

  // Where a DOS track lies: {side, track on side}; nullopt when nowhere.
  std::optional<std::array<int, 2>> Locate(int track) const;
  // The track number a header carries for a track of a side.
  static int HeaderTrack(int side, int trackOnSide);

 private:
  std::array<std::array<Track, kGcrMaxTrack>, 2> sides_;
  std::vector<uint8_t> noTrack_;  // what RawTrack hands out for a track that does not exist
  int tracksPerSide_ = 35;
  bool doubleSided_ = false;
  bool loadedWithErrorBytes_ = false;
  DiskId id_ = {0, 0};
};

}  // namespace sim
