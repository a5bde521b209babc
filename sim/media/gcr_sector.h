#pragma once
// Sectors on a raw GCR track, as the DOS format lays them down and as the drive controller finds,
// reads and rewrites them.
//
// One sector as formatted (GCR bytes): sync 5 x $FF, header 10, gap 9 x $55, sync 5 x $FF,
// data block 325, gap (8/17/12/9 by zone) x $55. The rest of the revolution is tail gap.
// Header (8 plain bytes): $08, checksum, sector, track, ID2, ID1, $0F, $0F; checksum = sector
// XOR track XOR ID2 XOR ID1. Data block (260): $07, 256 bytes, XOR of them, $00, $00.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace sim {

using SectorData = std::array<uint8_t, 256>;
// First and second ID character as given in "N:name,id" (BAM $A2, $A3); a header stores them
// the other way round.
using DiskId = std::array<uint8_t, 2>;

inline constexpr uint8_t kHeaderBlockId = 0x08;
inline constexpr uint8_t kDataBlockId = 0x07;
inline constexpr uint8_t kGapByte = 0x55;
inline constexpr uint8_t kSyncByte = 0xFF;
inline constexpr int kSyncBytes = 5;
inline constexpr int kHeaderGcrBytes = 10;
inline constexpr int kHeaderGapBytes = 9;
inline constexpr int kDataGcrBytes = 325;

// A sector to lay down; defect is a job code (2, 3, 4, 5, 9, 11) the sector is built to show
// when read, as images with error bytes describe it. Any other value builds a good sector.
struct SectorPlan {
  SectorData data{};
  int defect = 1;
};

// A whole track as the DOS format writes it, padded with tail gap to capacity bytes.
std::vector<uint8_t> BuildGcrTrack(int headerTrack, const DiskId& id,
                                   std::span<const SectorPlan> sectors, int gapBytes,
                                   size_t capacity);

// An unformatted or erased track: noise, the same for the same seed. Now and then noise holds ten
// or more one bits in a row, which the read electronics take for a sync: most tracks have none,
// some a few in a turn, a few one every few milliseconds.
std::vector<uint8_t> NoiseTrack(size_t size, uint32_t seed);

// The controller's read job. expectedId is the master ID in drive RAM; nullptr skips the check.
// Returns a job code; data is filled for 1 and 5 (the buffer holds what was read).
int ReadGcrSector(std::span<const uint8_t> track, int headerTrack, int sector,
                  const DiskId* expectedId, SectorData& data);

// The controller's write job: finds the header, lets the header gap pass, writes a sync and the
// data block in place. Returns a job code; the track is unchanged unless it is 1.
int WriteGcrSector(std::vector<uint8_t>& track, int headerTrack, int sector,
                   const DiskId* expectedId, const SectorData& data);

// A data block laid down wrong: the sector's data (behind its header, any ID) with one bit
// flipped in the middle and its checksum as it was, so that a read gives code 5. false when the
// track has no such sector with a data block.
bool SpoilGcrDataBlock(std::vector<uint8_t>& track, int headerTrack, int sector);
// The bit of the track where the data block of a sector begins (behind the sync that follows its
// header); nullopt when the header is not found.
std::optional<size_t> GcrDataBlockBit(std::span<const uint8_t> track, int headerTrack, int sector);

// The controller's seek job, as the DOS runs it to learn the disk ID: from startBit (where the
// head is when the job starts) it takes the first block behind a sync that is a header, passing
// up to 90 other syncs (data blocks). A bad checksum on that header ends the job (code 9);
// otherwise its ID is the disk's. A sync already under the head counts. The controller waits
// about 20 ms for each sync (noSyncBits of the track pass in that time): a longer wait ends the
// job with code 3.
struct SeekedHeader {
  int code = 3;  // a job code: 1, 2 (no header among the syncs), 3 (no sync), 9
  // The header as read (codes 1 and 9), whatever track it names.
  DiskId id{};
  uint8_t track = 0;
  uint8_t sector = 0;
  uint8_t checksum = 0;
  // Bits that passed under the head from startBit until the job ended: to the header's end, to
  // the last sync it gave up at, or to the end of the wait for a sync that did not come (0 for
  // a track without any sync).
  size_t bitsPassed = 0;
};
// The bits of a track that pass under the head in the controller's wait for a sync at 300 rpm.
size_t NoSyncBits(std::span<const uint8_t> track);
SeekedHeader SeekGcrHeader(std::span<const uint8_t> track, size_t startBit, size_t noSyncBits);

// The ID most headers of a track carry, so that one sector with a foreign ID does not decide:
// what an imaging tool takes as the disk's ID. kJobOk, or the seek's codes when no good header
// is there.
int PrevailingGcrHeaderId(std::span<const uint8_t> track, DiskId& id);

// What an imaging tool makes of the sectors of a track: for each, the job code that describes
// its defect (it tells a header that lost its syncs, code 3, from a missing one, code 2) and the
// data when a data block could be decoded at all. A header and data block without syncs are
// looked for where the format put them, by the header's first GCR byte.
struct SalvagedSector {
  int code = 2;
  bool hasData = false;
  SectorData data{};
};
std::vector<SalvagedSector> SalvageGcrTrack(std::span<const uint8_t> track, int headerTrack,
                                            int sectors, const DiskId& referenceId);

}  // namespace sim
