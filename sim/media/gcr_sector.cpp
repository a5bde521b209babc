#include "sim/media/gcr_sector.h"

#include <algorithm>

#include "sim/media/disk.h"
#include "sim/media/gcr_code.h"
#include "sim/media/raw_track.h"

namespace sim {
namespace {

using Header = std::array<uint8_t, 8>;
using DataBlock = std::array<uint8_t, 260>;

constexpr uint8_t kHeaderFill = 0x0F;
constexpr uint8_t kDefectBlockId = 0x00;
// The GCR byte every header starts with: $08 encodes to $52 whatever follows.
constexpr uint8_t kHeaderFirstGcrByte = 0x52;
// A header that passes the track's end is found when the search runs this far past it.
constexpr size_t kWrapBits = (kSyncBytes + kHeaderGcrBytes) * 8;

uint8_t HeaderChecksum(const Header& header) {
  return header[2] ^ header[3] ^ header[4] ^ header[5];
}

Header MakeHeader(int track, int sector, const DiskId& id, int defect) {
  Header header = {kHeaderBlockId,
                   0,
                   static_cast<uint8_t>(sector),
                   static_cast<uint8_t>(track),
                   id[1],
                   id[0],
                   kHeaderFill,
                   kHeaderFill};
  if (defect == kJobIdMismatch) header[5] = static_cast<uint8_t>(id[0] + 1);
  header[1] = HeaderChecksum(header);
  if (defect == kJobHeaderChecksum) header[1] = static_cast<uint8_t>(header[1] + 1);
  if (defect == kJobHeaderNotFound) header[0] = kDefectBlockId;
  return header;
}

uint8_t DataChecksum(std::span<const uint8_t> data) {
  uint8_t sum = 0;
  for (uint8_t byte : data) sum ^= byte;
  return sum;
}

DataBlock MakeDataBlock(const SectorData& data, int defect) {
  DataBlock block{};
  block[0] = defect == kJobDataBlockNotFound ? kDefectBlockId : kDataBlockId;
  std::copy(data.begin(), data.end(), block.begin() + 1);
  block[257] = DataChecksum(data);
  if (defect == kJobDataChecksum) block[257] = static_cast<uint8_t>(block[257] + 1);
  return block;
}

struct DecodedHeader {
  Header bytes{};
  bool validGcr = false;
};

DecodedHeader DecodeHeaderAt(const RawTrackBits& bits, size_t bitPos) {
  std::array<uint8_t, kHeaderGcrBytes> gcrBytes{};
  bits.Read(bitPos, gcrBytes);
  DecodedHeader header;
  header.validGcr = gcr::Decode(gcrBytes, header.bytes);
  return header;
}

bool IsHeaderOf(const Header& header, int track, int sector) {
  return header[2] == sector && header[3] == track;
}

bool IdDiffers(const Header& header, const DiskId& id) {
  return header[5] != id[0] || header[4] != id[1];
}

// A seek gives up after this many syncs without a header.
constexpr int kSeekSyncs = 90;
// The controller waits about 20 ms for a sync: a tenth of a turn at 300 rpm.
constexpr size_t kNoSyncTurnFraction = 10;

bool BitAt(const RawTrackBits& bits, size_t bitPos) {
  std::array<uint8_t, 1> byte{};
  bits.Read(bitPos, byte);
  return (byte[0] & 0x80) != 0;
}

// Where the run of one bits under the head began (bitPos itself on a zero bit): the read
// electronics count a sync from its first one bit, whenever the DOS starts to look.
size_t StartOfOnesRun(const RawTrackBits& bits, size_t bitPos) {
  const size_t count = bits.BitCount();
  size_t start = bitPos;
  for (size_t steps = 0; steps < count && BitAt(bits, start); ++steps) {
    const size_t before = (start + count - 1) % count;
    if (!BitAt(bits, before)) break;
    start = before;
  }
  return start;
}

struct HeaderFound {
  int code = kJobHeaderNotFound;
  size_t endBit = 0;
};

// The controller passes header after header until the wanted one comes by; a bad checksum or a
// foreign ID on that header ends the search with the matching code.
HeaderFound LocateHeader(const RawTrackBits& bits, int track, int sector,
                         const DiskId* expectedId) {
  if (!bits.HasSync()) return {kJobNoSync, 0};
  const size_t limit = bits.BitCount() + kWrapBits;
  size_t pos = 0;
  while (auto syncEnd = bits.NextSyncEnd(pos, limit - pos)) {
    pos = *syncEnd;
    const DecodedHeader header = DecodeHeaderAt(bits, pos);
    if (header.bytes[0] != kHeaderBlockId || !IsHeaderOf(header.bytes, track, sector)) continue;
    if (header.bytes[1] != HeaderChecksum(header.bytes)) return {kJobHeaderChecksum, 0};
    if (expectedId && IdDiffers(header.bytes, *expectedId)) return {kJobIdMismatch, 0};
    return {kJobOk, pos + kHeaderGcrBytes * 8};
  }
  return {kJobHeaderNotFound, 0};
}

struct DataFound {
  int code = kJobDataBlockNotFound;
  bool validGcr = false;
  DataBlock block{};
};

DataFound DecodeDataAt(const RawTrackBits& bits, size_t bitPos) {
  std::array<uint8_t, kDataGcrBytes> gcrBytes{};
  bits.Read(bitPos, gcrBytes);
  DataFound found;
  found.validGcr = gcr::Decode(gcrBytes, found.block);
  if (found.block[0] != kDataBlockId) {
    found.code = kJobDataBlockNotFound;
  } else if (DataChecksum(std::span(found.block).subspan(1, 256)) != found.block[257]) {
    found.code = kJobDataChecksum;
  } else {
    found.code = kJobOk;
  }
  return found;
}

// The data block is whatever follows the next sync after the header.
DataFound ReadDataAfter(const RawTrackBits& bits, size_t headerEnd) {
  const auto syncEnd = bits.NextSyncEnd(headerEnd, bits.BitCount());
  if (!syncEnd) return {};
  return DecodeDataAt(bits, *syncEnd);
}

void CopyData(const DataBlock& block, SectorData& data) {
  std::copy(block.begin() + 1, block.begin() + 257, data.begin());
}

}  // namespace

std::vector<uint8_t> BuildGcrTrack(int headerTrack, const DiskId& id,
                                   std::span<const SectorPlan> sectors, int gapBytes,
                                   size_t capacity) {
  std::vector<uint8_t> track;
  track.reserve(capacity);
  for (size_t s = 0; s < sectors.size(); ++s) {
    const SectorPlan& plan = sectors[s];
    const uint8_t sync = plan.defect == kJobNoSync ? kGapByte : kSyncByte;
    track.insert(track.end(), kSyncBytes, sync);
    gcr::Encode(MakeHeader(headerTrack, static_cast<int>(s), id, plan.defect), track);
    track.insert(track.end(), kHeaderGapBytes, kGapByte);
    track.insert(track.end(), kSyncBytes, sync);
    gcr::Encode(MakeDataBlock(plan.data, plan.defect), track);
    track.insert(track.end(), static_cast<size_t>(gapBytes), kGapByte);
  }
  if (track.size() < capacity) track.resize(capacity, kGapByte);
  return track;
}

std::vector<uint8_t> NoiseTrack(size_t size, uint32_t seed) {
  // Bits 0 and 4 stay clear, so no run of ones is longer than three...
  constexpr uint8_t kNoSyncMask = 0xEE;
  std::vector<uint8_t> track(size);
  uint32_t state = seed * 2654435761u + 1;
  auto next = [&state] {
    state = state * 1664525u + 1013904223u;
    return state >> 16;
  };
  uint8_t* byte = track.data();
  for (size_t i = 0; i < size; ++i) byte[i] = static_cast<uint8_t>(next() >> 8) & kNoSyncMask;
  // ...but where the noise holds a run of 16 to 32 ones, the read electronics see a sync. Of a
  // hundred tracks 70 have none, 20 about two in a turn, 10 one every 100 to 300 bytes.
  constexpr uint32_t kQuietTracks = 70;
  constexpr uint32_t kSparseTracks = 20;
  constexpr size_t kDenseSpacing = 100;
  const uint32_t kind = next() % 100;
  if (kind < kQuietTracks || size < 8) return track;
  const size_t spacing = kind < kQuietTracks + kSparseTracks ? size / 4 : kDenseSpacing;
  for (size_t at = next() % (2 * spacing); at + 4 < size; at += spacing + next() % (2 * spacing)) {
    const size_t ones = 2 + next() % 3;
    std::fill_n(track.begin() + static_cast<std::ptrdiff_t>(at), ones, kSyncByte);
  }
  return track;
}

int ReadGcrSector(std::span<const uint8_t> track, int headerTrack, int sector,
                  const DiskId* expectedId, SectorData& data) {
  const RawTrackBits bits(track);
  const HeaderFound header = LocateHeader(bits, headerTrack, sector, expectedId);
  if (header.code != kJobOk) return header.code;
  const DataFound found = ReadDataAfter(bits, header.endBit);
  if (found.code == kJobOk || found.code == kJobDataChecksum) CopyData(found.block, data);
  return found.code;
}

int WriteGcrSector(std::vector<uint8_t>& track, int headerTrack, int sector,
                   const DiskId* expectedId, const SectorData& data) {
  const RawTrackBits bits(track);
  const HeaderFound header = LocateHeader(bits, headerTrack, sector, expectedId);
  if (header.code != kJobOk) return header.code;
  std::vector<uint8_t> written(kSyncBytes, kSyncByte);
  gcr::Encode(MakeDataBlock(data, kJobOk), written);
  const size_t start = (header.endBit + kHeaderGapBytes * 8) % bits.BitCount();
  WriteRawBits(track, start, written);
  return kJobOk;
}

std::optional<size_t> GcrDataBlockBit(std::span<const uint8_t> track, int headerTrack, int sector) {
  const RawTrackBits bits(track);
  const HeaderFound header = LocateHeader(bits, headerTrack, sector, nullptr);
  if (header.code != kJobOk) return std::nullopt;
  const auto syncEnd = bits.NextSyncEnd(header.endBit, bits.BitCount());
  if (!syncEnd) return std::nullopt;
  return *syncEnd % bits.BitCount();
}

bool SpoilGcrDataBlock(std::vector<uint8_t>& track, int headerTrack, int sector) {
  constexpr size_t kSpoiledByte = 1 + 128;
  const std::optional<size_t> start = GcrDataBlockBit(track, headerTrack, sector);
  if (!start) return false;
  DataFound found = DecodeDataAt(RawTrackBits(track), *start);
  if (found.block[0] != kDataBlockId) return false;
  found.block[kSpoiledByte] ^= 0x01;
  std::vector<uint8_t> spoiled;
  gcr::Encode(found.block, spoiled);
  WriteRawBits(track, *start, spoiled);
  return true;
}

size_t NoSyncBits(std::span<const uint8_t> track) {
  return track.size() * 8 / kNoSyncTurnFraction;
}

SeekedHeader SeekGcrHeader(std::span<const uint8_t> track, size_t startBit, size_t noSyncBits) {
  const RawTrackBits bits(track);
  SeekedHeader seek;
  if (!bits.HasSync()) return seek;
  const size_t count = bits.BitCount();
  startBit %= count;
  // Positions count on from startBit + count, so that a sync that began before startBit lies
  // behind a position the search can start from.
  const size_t origin = startBit + count;
  const size_t runBack = (startBit + count - StartOfOnesRun(bits, startBit)) % count;
  size_t pos = origin - runBack;
  // The wait for each sync starts where the head is, then behind the block of the last one.
  size_t waitFrom = origin;
  seek.code = kJobHeaderNotFound;
  for (int sync = 0; sync < kSeekSyncs; ++sync) {
    const auto syncEnd = bits.NextSyncEnd(pos, count + kWrapBits);
    if (!syncEnd || *syncEnd > waitFrom + noSyncBits) {
      seek.code = kJobNoSync;
      seek.bitsPassed = waitFrom + noSyncBits - origin;
      return seek;
    }
    pos = *syncEnd;
    waitFrom = std::max(waitFrom, pos);
    seek.bitsPassed = pos - origin;
    const Header header = DecodeHeaderAt(bits, pos).bytes;
    if (header[0] != kHeaderBlockId) continue;
    seek.id = {header[5], header[4]};
    seek.track = header[3];
    seek.sector = header[2];
    seek.checksum = header[1];
    seek.bitsPassed += kHeaderGcrBytes * 8;
    seek.code = header[1] == HeaderChecksum(header) ? kJobOk : kJobHeaderChecksum;
    return seek;
  }
  return seek;
}

int PrevailingGcrHeaderId(std::span<const uint8_t> track, DiskId& id) {
  const RawTrackBits bits(track);
  if (!bits.HasSync()) return kJobNoSync;
  struct Tally {
    DiskId id;
    int count;
  };
  std::vector<Tally> tallies;
  bool badChecksum = false;
  size_t pos = 0;
  while (auto syncEnd = bits.NextSyncEnd(pos, bits.BitCount() - pos)) {
    pos = *syncEnd;
    const Header header = DecodeHeaderAt(bits, pos).bytes;
    if (header[0] != kHeaderBlockId) continue;
    if (header[1] != HeaderChecksum(header)) {
      badChecksum = true;
      continue;
    }
    const DiskId seen = {header[5], header[4]};
    auto it = std::find_if(tallies.begin(), tallies.end(),
                           [&](const Tally& tally) { return tally.id == seen; });
    if (it == tallies.end()) {
      tallies.push_back({seen, 1});
    } else {
      ++it->count;
    }
  }
  if (tallies.empty()) return badChecksum ? kJobHeaderChecksum : kJobHeaderNotFound;
  const auto best =
      std::max_element(tallies.begin(), tallies.end(),
                       [](const auto& a, const auto& b) { return a.count < b.count; });
  id = best->id;
  return kJobOk;
}

std::vector<SalvagedSector> SalvageGcrTrack(std::span<const uint8_t> track, int headerTrack,
                                            int sectors, const DiskId& referenceId) {
  std::vector<SalvagedSector> result(static_cast<size_t>(sectors));
  std::vector<uint8_t> found(static_cast<size_t>(sectors), 0);
  const RawTrackBits bits(track);
  const bool anySync = bits.HasSync();
  if (anySync) {
    const size_t limit = bits.BitCount() + kWrapBits;
    size_t pos = 0;
    while (auto syncEnd = bits.NextSyncEnd(pos, limit - pos)) {
      pos = *syncEnd;
      const Header h = DecodeHeaderAt(bits, pos).bytes;
      if (h[3] != headerTrack || h[2] >= sectors || found[h[2]]) continue;
      if (h[6] != kHeaderFill || h[7] != kHeaderFill) continue;
      const bool checksumOk = h[1] == HeaderChecksum(h);
      if (h[0] != kHeaderBlockId && !(h[0] == kDefectBlockId && checksumOk)) continue;
      SalvagedSector& sector = result[h[2]];
      found[h[2]] = 1;
      const DataFound data = ReadDataAfter(bits, pos + kHeaderGcrBytes * 8);
      sector.hasData = data.validGcr && data.block[0] != kHeaderBlockId;
      if (sector.hasData) CopyData(data.block, sector.data);
      if (h[0] != kHeaderBlockId) {
        sector.code = kJobHeaderNotFound;
      } else if (!checksumOk) {
        sector.code = kJobHeaderChecksum;
      } else if (IdDiffers(h, referenceId)) {
        sector.code = kJobIdMismatch;
      } else {
        sector.code = data.code;
      }
    }
  }
  if (std::find(found.begin(), found.end(), 0) == found.end()) return result;
  for (size_t i = 0; i < track.size(); ++i) {
    if (track[i] != kHeaderFirstGcrByte) continue;
    const DecodedHeader header = DecodeHeaderAt(bits, i * 8);
    const Header& h = header.bytes;
    if (h[0] != kHeaderBlockId || h[3] != headerTrack || h[2] >= sectors || found[h[2]]) continue;
    if (h[6] != kHeaderFill || h[7] != kHeaderFill || h[1] != HeaderChecksum(h)) continue;
    SalvagedSector& sector = result[h[2]];
    found[h[2]] = 1;
    const size_t dataByte = i + kHeaderGcrBytes + kHeaderGapBytes + kSyncBytes;
    const DataFound data = DecodeDataAt(bits, dataByte * 8);
    sector.code = kJobNoSync;
    sector.hasData = data.validGcr;
    if (data.validGcr) CopyData(data.block, sector.data);
  }
  for (size_t s = 0; s < result.size(); ++s) {
    if (!found[s]) result[s].code = anySync ? kJobHeaderNotFound : kJobNoSync;
  }
  return result;
}

}  // namespace sim
