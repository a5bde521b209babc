// "C:new=old[,old...]": a new file made of the old ones one after another.

#include <algorithm>

#include "sim/media/dos_alloc.h"
#include "sim/media/dos_state.h"

namespace sim {

DosStatus CopyCommand(DosState& state, std::span<const uint8_t> args) {
  if (std::find(args.begin(), args.end(), ':') == args.end()) return DosFail(kDosSyntaxNoName);
  int drive = 0;
  const Bytes rest = AfterDrive(args, drive);
  const auto equal = std::find(rest.begin(), rest.end(), '=');
  if (equal == rest.end()) return DosFail(kDosSyntax);
  const Bytes newName(rest.begin(), equal);
  std::vector<Bytes> sources = SplitAt(Bytes(equal + 1, rest.end()), ',');
  if (newName.empty() ||
      std::any_of(sources.begin(), sources.end(), [](const Bytes& b) { return b.empty(); })) {
    return DosFail(kDosSyntaxNoName);
  }
  if (HasWildcards(newName)) return DosFail(kDosSyntaxBadName);
  if (DosStatus status = state.LogIn(); !status.ok()) return status;
  Volume& volume = *state.volume;
  std::vector<DirEntry> entries;
  if (DosStatus status = ReadDirectory(volume, entries); !status.ok()) return status;
  if (FindEntry(entries, newName)) return DosFail(kDosFileExists);
  std::vector<DirEntry> sourceEntries;
  for (Bytes& source : sources) {
    int sourceDrive = 0;
    const std::optional<DirEntry> entry = FindEntry(entries, AfterDrive(source, sourceDrive));
    if (!entry) return DosFail(kDosFileNotFound);
    if (!(entry->type() & kTypeClosed)) return DosFail(kDosWriteFileOpen);
    sourceEntries.push_back(*entry);
  }
  TrackSector first;
  if (DosStatus status = AllocateFirstBlock(volume.bam(), first); !status.ok()) return status;
  DirEntry target;
  target.setType(sourceEntries.front().type() & kTypeMask);
  target.setStart(first);
  target.setName(PadName(newName));
  if (DosStatus status = AddDirEntry(volume, target); !status.ok()) return status;
  WriteStream writer;
  writer.Begin(first);
  for (const DirEntry& source : sourceEntries) {
    ReadStream reader;
    if (DosStatus status = reader.Open(volume, source.start()); !status.ok()) return status;
    while (!reader.atEnd()) {
      Bytes chunk;
      bool eoi = false;
      if (DosStatus status = reader.Read(volume, 254, chunk, eoi); !status.ok()) return status;
      if (DosStatus status = writer.Put(volume, chunk, state.FileInterleave()); !status.ok())
        return status;
    }
  }
  if (DosStatus status = writer.Finish(volume); !status.ok()) return status;
  target.setType(target.type() | kTypeClosed);
  target.setBlocks(writer.blocks());
  if (DosStatus status = WriteDirEntry(volume, target); !status.ok()) return status;
  return volume.WriteBam();
}

}  // namespace sim
