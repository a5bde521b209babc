#pragma once
// A disk in a virtual drive. GCR disks (1541, 1570, 1571) are raw GCR tracks: the bytes a
// drive reads in one revolution at the zone's bit rate; sectors are decoded from and encoded
// into those tracks. 1581 disks are stores of 256-byte sectors.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace sim {

// Job result codes of the drive controller.
enum JobCode : int {
  kJobOk = 1,
  kJobHeaderNotFound = 2,
  kJobNoSync = 3,
  kJobDataBlockNotFound = 4,
  kJobDataChecksum = 5,
  kJobWriteProtect = 8,
  kJobHeaderChecksum = 9,
  kJobIdMismatch = 11,
  kJobNoDisk = 15,
};

class Disk {
 public:
  virtual ~Disk() = default;

  // Loads an image by its extension (.d64 35 or 40 tracks, error bytes included; .d71; .d81;
  // .g64). nullptr with a message in *error when the file is missing or malformed.
  static std::unique_ptr<Disk> Load(const std::string& path, std::string* error);
  // A blank (never formatted) disk: GCR tracks of noise, or an unformatted 1581 disk.
  static std::unique_ptr<Disk> Blank(bool gcr, bool doubleSided);
  // Writes the disk as the image type of the path's extension.
  virtual bool Save(const std::string& path, std::string* error) const = 0;

  virtual bool IsGcr() const = 0;
  virtual int TrackCount() const = 0;  // 35, 40, 70 or 80
  virtual int SectorsOnTrack(int track) const = 0;

  // One 256-byte sector as the drive controller sees it; returns a JobCode. Headers are checked
  // against the disk's own ID (the one it was formatted with).
  virtual int ReadSector(int track, int sector, std::array<uint8_t, 256>& data) = 0;
  virtual int WriteSector(int track, int sector, const std::array<uint8_t, 256>& data) = 0;
  // The disk ID written in the sector headers of a track (the one most of them carry).
  virtual std::array<uint8_t, 2> HeaderId(int track) = 0;

  // GCR disks only: the raw track (one revolution) and its bit-rate zone.
  virtual std::vector<uint8_t>& RawTrack(int track) = 0;
  virtual int TrackZone(int track) const = 0;

  bool writeProtected = false;
  // How far the disk has turned under the head, in revolutions (0 up to 1): the byte at that
  // fraction of a track's length is passing. The drive sets it from its spindle before the DOS
  // works with the disk; a seek starts reading there.
  double angle = 0.0;

  // --- Used by the DOS. IDs are {first, second} character as in "N:name,id" (BAM $A2, $A3).

  // Read and write jobs checking headers against the master ID in drive RAM ($12/$13).
  virtual int ReadSectorWithId(int track, int sector, std::array<uint8_t, 256>& data,
                               const std::array<uint8_t, 2>& expectedId) = 0;
  virtual int WriteSectorWithId(int track, int sector, const std::array<uint8_t, 256>& data,
                                const std::array<uint8_t, 2>& expectedId) = 0;
  // The seek job: reads the first header that comes under the head from `angle` on; on kJobOk
  // its ID is in id. A 1581 takes the ID from its header sector 40/0.
  virtual int SeekHeader(int track, std::array<uint8_t, 2>& id) = 0;
  // Lays down a whole fresh track as the DOS format does: every sector holds fill and every
  // header carries id. Returns a JobCode (kJobWriteProtect on a protected disk).
  virtual int FormatTrack(int track, const std::array<uint8_t, 2>& id,
                          const std::array<uint8_t, 256>& fill) = 0;
  // The same cut short after `part` (0 to 1) of the turn: the new recording up to there, a
  // broken splice, the old one after it.
  virtual void FormatTrackPart(int track, const std::array<uint8_t, 2>& id,
                               const std::array<uint8_t, 256>& fill, double part) = 0;
  // 1571 disks: whether DOS tracks 36-70 lie on the second side (set by a double-sided format
  // and by D71 images). Without it tracks 36-42 lie beyond track 35 on the first side.
  virtual bool IsDoubleSided() const = 0;
  virtual void SetDoubleSided(bool doubleSided) = 0;
};

}  // namespace sim
