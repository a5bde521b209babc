#include "sim/media/dos_bam.h"

#include "sim/media/geometry.h"

#include <algorithm>

namespace sim {
namespace {

constexpr size_t k1541EntryStart = 0x04;
constexpr size_t k1541EntrySize = 4;
constexpr size_t kSideTwoCountStart = 0xDD;
constexpr size_t kSideTwoMapSize = 3;
constexpr size_t k1581EntryStart = 0x10;
constexpr size_t k1581EntrySize = 6;
constexpr int k1581TracksPerBamBlock = 40;

constexpr uint8_t kDoubleSidedFlag = 0x80;
constexpr uint8_t k1581IoByte = 0xC0;  // verify writes, check header CRC

size_t MapBytes(const DiskLayout& layout) {
  return layout.format == DiskFormat::k1581 ? k1581EntrySize - 1 : k1541EntrySize - 1;
}

}  // namespace

Bam::Bam(const DiskLayout& layout, std::vector<SectorData> blocks)
    : layout_(&layout), blocks_(std::move(blocks)) {}

Bam::Slot Bam::SlotOf(int track) const {
  const size_t t = static_cast<size_t>(track);
  if (layout_->format == DiskFormat::k1581) {
    const size_t block = (t - 1) / k1581TracksPerBamBlock;
    const size_t entry = k1581EntryStart + k1581EntrySize * ((t - 1) % k1581TracksPerBamBlock);
    return {block, entry, block, entry + 1};
  }
  if (track >= kSideTwoFirstTrack) {
    const size_t index = t - kSideTwoFirstTrack;
    return {0, kSideTwoCountStart + index, 1, kSideTwoMapSize * index};
  }
  const size_t entry = k1541EntryStart + k1541EntrySize * (t - 1);
  return {0, entry, 0, entry + 1};
}

bool Bam::IsFree(const TrackSector& ts) const {
  if (!layout_->Valid(ts)) return false;
  const Slot slot = SlotOf(ts.track);
  const size_t byte = slot.mapOffset + static_cast<size_t>(ts.sector / 8);
  return (blocks_[slot.mapBlock][byte] >> (ts.sector % 8)) & 1;
}

int Bam::FreeCount(int track) const {
  if (track < 1 || track > layout_->maxTrack) return 0;
  const Slot slot = SlotOf(track);
  return blocks_[slot.countBlock][slot.countOffset];
}

int Bam::FreeBits(int track) const {
  int bits = 0;
  for (int s = 0; s < layout_->SectorsOn(track); ++s) bits += IsFree({track, s}) ? 1 : 0;
  return bits;
}

void Bam::SetBit(const TrackSector& ts, bool free) {
  const Slot slot = SlotOf(ts.track);
  uint8_t& byte = blocks_[slot.mapBlock][slot.mapOffset + static_cast<size_t>(ts.sector / 8)];
  const uint8_t bit = static_cast<uint8_t>(1u << (ts.sector % 8));
  byte = free ? (byte | bit) : (byte & ~bit);
}

DosStatus Bam::Allocate(const TrackSector& ts) {
  if (!IsFree(ts)) return {};
  if (FreeCount(ts.track) != FreeBits(ts.track)) return DosFail(kDosDirError, ts.track, ts.sector);
  SetBit(ts, false);
  const Slot slot = SlotOf(ts.track);
  --blocks_[slot.countBlock][slot.countOffset];
  return {};
}

void Bam::Free(const TrackSector& ts) {
  if (!layout_->Valid(ts) || IsFree(ts)) return;
  SetBit(ts, true);
  const Slot slot = SlotOf(ts.track);
  ++blocks_[slot.countBlock][slot.countOffset];
}

int Bam::BlocksFree() const {
  int total = 0;
  for (int track = 1; track <= layout_->maxTrack; ++track) {
    if (track != layout_->dirTrack && track != layout_->reservedTrack) total += FreeCount(track);
  }
  return total;
}

void Bam::MarkAllFree() {
  const size_t mapBytes = MapBytes(*layout_);
  for (int track = 1; track <= layout_->maxTrack; ++track) {
    const Slot slot = SlotOf(track);
    const bool reserved = track == layout_->reservedTrack;
    const int sectors = layout_->SectorsOn(track);
    for (size_t i = 0; i < mapBytes; ++i) {
      const int bitsHere = std::clamp(sectors - static_cast<int>(8 * i), 0, 8);
      blocks_[slot.mapBlock][slot.mapOffset + i] =
          reserved ? 0 : static_cast<uint8_t>((1u << bitsHere) - 1);
    }
    blocks_[slot.countBlock][slot.countOffset] = reserved ? 0 : static_cast<uint8_t>(sectors);
  }
}

Bam FreshBam(const DiskLayout& layout, const DiskId& id) {
  std::vector<SectorData> blocks(layout.bamBlocks.size());
  for (SectorData& block : blocks) block.fill(0);
  if (layout.format == DiskFormat::k1581) {
    for (size_t i = 0; i < blocks.size(); ++i) {
      const bool last = i + 1 == blocks.size();
      blocks[i][0] = last ? 0 : static_cast<uint8_t>(layout.bamBlocks[i + 1].track);
      blocks[i][1] = last ? 0xFF : static_cast<uint8_t>(layout.bamBlocks[i + 1].sector);
      blocks[i][2] = layout.formatLetter;
      blocks[i][3] = static_cast<uint8_t>(~layout.formatLetter);
      blocks[i][4] = id[0];
      blocks[i][5] = id[1];
      blocks[i][6] = k1581IoByte;
    }
  } else {
    SectorData& header = blocks[0];
    header[0] = static_cast<uint8_t>(layout.dirTrack);
    header[1] = static_cast<uint8_t>(layout.firstDirSector);
    header[2] = layout.formatLetter;
    header[3] = layout.format == DiskFormat::k1571Double ? kDoubleSidedFlag : 0;
  }
  Bam bam(layout, std::move(blocks));
  bam.MarkAllFree();
  std::vector<TrackSector> system = layout.bamBlocks;
  system.push_back(layout.header);
  system.push_back({layout.dirTrack, layout.firstDirSector});
  for (const TrackSector& ts : system) bam.Allocate(ts);
  return bam;
}

}  // namespace sim
