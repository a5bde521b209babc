#include "sim/media/dos_directory.h"

#include <algorithm>

#include "sim/media/dos_alloc.h"

namespace sim {
namespace {

constexpr uint8_t kLastBlockLink = 0xFF;

size_t SlotOffset(int index) {
  return static_cast<size_t>(index * kEntrySize);
}

TrackSector LinkOf(const SectorData& block) {
  return {block[0], block[1]};
}

}  // namespace

void DirEntry::setStart(const TrackSector& ts) {
  raw[3] = static_cast<uint8_t>(ts.track);
  raw[4] = static_cast<uint8_t>(ts.sector);
}

void DirEntry::setName(const PaddedName& padded) {
  std::copy(padded.begin(), padded.end(), raw.begin() + 5);
}

void DirEntry::setBlocks(int count) {
  raw[0x1E] = static_cast<uint8_t>(count & 0xFF);
  raw[0x1F] = static_cast<uint8_t>(count >> 8);
}

void DirEntry::setReplacement(const TrackSector& ts) {
  raw[0x1C] = static_cast<uint8_t>(ts.track);
  raw[0x1D] = static_cast<uint8_t>(ts.sector);
}

namespace {

// The chain from the first directory block, each block with its data; stops at the end of the
// chain, at a block seen before, or after as many blocks as the directory track has.
DosStatus WalkDirectory(Volume& volume, std::vector<std::pair<TrackSector, SectorData>>& blocks) {
  const DiskLayout& layout = volume.layout();
  blocks.clear();
  TrackSector ts = {layout.dirTrack, layout.firstDirSector};
  const size_t limit = static_cast<size_t>(layout.SectorsOn(layout.dirTrack));
  while (ts.track != 0 && blocks.size() < limit) {
    const bool seen =
        std::any_of(blocks.begin(), blocks.end(), [&](const auto& b) { return b.first == ts; });
    if (seen) break;
    if (!layout.Valid(ts)) return DosFail(kDosIllegalTrackSector, ts.track, ts.sector);
    SectorData data{};
    if (DosStatus status = volume.Read(ts, data); !status.ok()) return status;
    blocks.push_back({ts, data});
    ts = LinkOf(data);
  }
  return {};
}

}  // namespace

DosStatus DirectoryBlocks(Volume& volume, std::vector<TrackSector>& blocks) {
  std::vector<std::pair<TrackSector, SectorData>> walked;
  const DosStatus status = WalkDirectory(volume, walked);
  blocks.clear();
  for (const auto& block : walked) blocks.push_back(block.first);
  return status;
}

DosStatus ReadDirectory(Volume& volume, std::vector<DirEntry>& entries) {
  entries.clear();
  std::vector<std::pair<TrackSector, SectorData>> blocks;
  const DosStatus status = WalkDirectory(volume, blocks);
  for (const auto& [ts, data] : blocks) {
    for (int index = 0; index < kEntriesPerBlock; ++index) {
      DirEntry entry;
      entry.block = ts;
      entry.index = index;
      std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(SlotOffset(index)), kEntrySize,
                  entry.raw.begin());
      entries.push_back(entry);
    }
  }
  return status;
}

DosStatus WriteDirEntry(Volume& volume, const DirEntry& entry) {
  SectorData data{};
  if (DosStatus status = volume.Read(entry.block, data); !status.ok()) return status;
  // The first two bytes of a slot belong to the block's link (first slot) or stay unused.
  const size_t offset = SlotOffset(entry.index);
  std::copy(entry.raw.begin() + 2, entry.raw.end(),
            data.begin() + static_cast<std::ptrdiff_t>(offset + 2));
  return volume.Write(entry.block, data);
}

DosStatus AddDirEntry(Volume& volume, DirEntry& entry) {
  std::vector<DirEntry> entries;
  if (DosStatus status = ReadDirectory(volume, entries); !status.ok()) return status;
  for (const DirEntry& slot : entries) {
    if (slot.used()) continue;
    entry.block = slot.block;
    entry.index = slot.index;
    return WriteDirEntry(volume, entry);
  }
  const TrackSector last =
      entries.empty() ? TrackSector{volume.layout().dirTrack, volume.layout().firstDirSector}
                      : entries.back().block;
  TrackSector fresh;
  if (DosStatus status = AllocateDirectoryBlock(volume.bam(), last, fresh); !status.ok())
    return status;
  SectorData lastData{};
  if (DosStatus status = volume.Read(last, lastData); !status.ok()) return status;
  SectorData freshData{};
  freshData[1] = kLastBlockLink;
  if (DosStatus status = volume.Write(fresh, freshData); !status.ok()) return status;
  lastData[0] = static_cast<uint8_t>(fresh.track);
  lastData[1] = static_cast<uint8_t>(fresh.sector);
  if (DosStatus status = volume.Write(last, lastData); !status.ok()) return status;
  entry.block = fresh;
  entry.index = 0;
  return WriteDirEntry(volume, entry);
}

std::optional<DirEntry> FindEntry(const std::vector<DirEntry>& entries,
                                  std::span<const uint8_t> pattern) {
  for (const DirEntry& entry : entries) {
    if (entry.used() && NameMatches(pattern, entry.name())) return entry;
  }
  return std::nullopt;
}

DosStatus FollowChain(Volume& volume, const TrackSector& start, std::vector<TrackSector>& blocks) {
  blocks.clear();
  const size_t limit = static_cast<size_t>(volume.layout().TotalBlocks());
  TrackSector ts = start;
  while (ts.track != 0) {
    if (!volume.layout().Valid(ts) || blocks.size() >= limit) {
      return DosFail(kDosIllegalTrackSector, ts.track, ts.sector);
    }
    SectorData data{};
    if (DosStatus status = volume.Read(ts, data); !status.ok()) return status;
    blocks.push_back(ts);
    ts = LinkOf(data);
  }
  return {};
}

DosStatus BlocksOfFile(Volume& volume, const DirEntry& entry, std::vector<TrackSector>& blocks) {
  const int type = entry.type() & kTypeMask;
  if (type == kCbm && volume.layout().format == DiskFormat::k1581) {
    blocks.clear();
    TrackSector ts = entry.start();
    for (int i = 0; i < entry.blocks(); ++i) {
      if (!volume.layout().Valid(ts)) return DosFail(kDosIllegalTrackSector, ts.track, ts.sector);
      blocks.push_back(ts);
      if (++ts.sector == volume.layout().SectorsOn(ts.track)) ts = {ts.track + 1, 0};
    }
    return {};
  }
  if (DosStatus status = FollowChain(volume, entry.start(), blocks); !status.ok()) return status;
  if (type != kRel) return {};
  std::vector<TrackSector> sideSectors;
  const DosStatus status = FollowChain(volume, entry.sideSectors(), sideSectors);
  blocks.insert(blocks.end(), sideSectors.begin(), sideSectors.end());
  return status;
}

}  // namespace sim
