// "V": files never closed lose their entries, and the BAM is rebuilt from the header, BAM and
// directory blocks and the blocks of the remaining files.

#include "sim/media/dos_state.h"

namespace sim {

DosStatus ValidateCommand(DosState& state, std::span<const uint8_t>) {
  if (DosStatus status = state.CloseAll(); !status.ok()) return status;
  if (DosStatus status = state.ForceLogIn(); !status.ok()) return status;
  Volume& volume = *state.volume;
  const DiskLayout& layout = volume.layout();
  std::vector<DirEntry> entries;
  if (DosStatus status = ReadDirectory(volume, entries); !status.ok()) return status;
  std::vector<TrackSector> used = layout.bamBlocks;
  used.push_back(layout.header);
  std::vector<TrackSector> directory;
  if (DosStatus status = DirectoryBlocks(volume, directory); !status.ok()) return status;
  used.insert(used.end(), directory.begin(), directory.end());
  for (DirEntry& entry : entries) {
    if (!entry.used()) continue;
    if (!(entry.type() & kTypeClosed)) {
      entry.setType(0);
      if (DosStatus status = WriteDirEntry(volume, entry); !status.ok()) return status;
      continue;
    }
    std::vector<TrackSector> blocks;
    if (DosStatus status = BlocksOfFile(volume, entry, blocks); !status.ok()) return status;
    used.insert(used.end(), blocks.begin(), blocks.end());
  }
  Bam& bam = volume.bam();
  bam.MarkAllFree();
  for (const TrackSector& ts : used) {
    if (DosStatus status = bam.Allocate(ts); !status.ok()) return status;
  }
  return volume.WriteBam();
}

}  // namespace sim
