// "N:name,id" lays down every track with the new ID, then writes the BAM and an empty directory;
// "N:name" only writes a new BAM and directory on a disk already in this drive's format.
// A 1541 format leaves $4B and 255 x $01 in every sector; the 1581's fill is not modelled
// (zeros).

#include <algorithm>

#include "sim/media/dos_state.h"

namespace sim {
namespace {

constexpr uint8_t kFreshFirstByte = 0x4B;
constexpr uint8_t kFreshFill = 0x01;
constexpr uint8_t kLastBlockLink = 0xFF;
constexpr size_t kIdDistance = 18;  // from the name to the ID in the header fields
constexpr size_t kDosTypeDistance = 21;
constexpr size_t kHeaderFieldsGcr = 27;   // $90-$AA
constexpr size_t kHeaderFields1581 = 25;  // $04-$1C

void WriteHeaderFields(SectorData& block, const DiskLayout& layout, std::span<const uint8_t> name,
                       const DiskId& id) {
  const size_t fields = layout.format == DiskFormat::k1581 ? kHeaderFields1581 : kHeaderFieldsGcr;
  const size_t start = layout.nameOffset;
  std::fill_n(block.begin() + static_cast<std::ptrdiff_t>(start), fields, kNamePad);
  const PaddedName padded = PadName(name);
  std::copy(padded.begin(), padded.end(), block.begin() + static_cast<std::ptrdiff_t>(start));
  block[start + kIdDistance] = id[0];
  block[start + kIdDistance + 1] = id[1];
  block[start + kDosTypeDistance] = static_cast<uint8_t>(layout.dosType[0]);
  block[start + kDosTypeDistance + 1] = static_cast<uint8_t>(layout.dosType[1]);
}

DosStatus LayDownTracks(DosState& state, const DiskLayout& layout, const DiskId& id) {
  Disk& disk = *state.disk;
  SectorData fill{};
  if (disk.IsGcr()) {
    fill.fill(kFreshFill);
    fill[0] = kFreshFirstByte;
  }
  if (layout.format == DiskFormat::k1571Double) disk.SetDoubleSided(true);
  for (int track = 1; track <= layout.maxTrack; ++track) {
    if (state.formatCut && track > state.formatCut->wholeTracks) {
      if (state.formatCut->partOfNext > 0)
        disk.FormatTrackPart(track, id, fill, state.formatCut->partOfNext);
      return DosFail(state.formatCut->error, track, 0);
    }
    const int job = disk.FormatTrack(track, id, fill);
    if (job != kJobOk) return DosFail(DosErrorOfJob(job), track, 0);
  }
  return {};
}

DosStatus WriteEmptyDirectory(Disk& disk, const DiskLayout& layout, std::span<const uint8_t> name,
                              const DiskId& id) {
  Bam bam = FreshBam(layout, id);
  std::vector<SectorData> blocks = bam.blocks();
  SectorData header{};
  if (layout.format == DiskFormat::k1581) {
    header[0] = static_cast<uint8_t>(layout.dirTrack);
    header[1] = static_cast<uint8_t>(layout.firstDirSector);
    header[2] = layout.formatLetter;
    WriteHeaderFields(header, layout, name, id);
  } else {
    WriteHeaderFields(blocks[0], layout, name, id);
  }
  Volume volume(disk, layout, id, Bam(layout, blocks), layout.formatLetter);
  if (layout.format == DiskFormat::k1581) {
    if (DosStatus status = volume.Write(layout.header, header); !status.ok()) return status;
  }
  if (DosStatus status = volume.WriteBam(); !status.ok()) return status;
  SectorData directory{};
  directory[1] = kLastBlockLink;
  return volume.Write({layout.dirTrack, layout.firstDirSector}, directory);
}

}  // namespace

const DiskLayout& FormatLayout(const DosState& state) {
  if (state.kind == DriveKind::k1581) return LayoutOf(DiskFormat::k1581);
  if (state.kind == DriveKind::k1571 && state.doubleSidedMode)
    return LayoutOf(DiskFormat::k1571Double);
  return LayoutOf(DiskFormat::k1541);
}

DosStatus FormatCommand(DosState& state, std::span<const uint8_t> args) {
  if (std::find(args.begin(), args.end(), ':') == args.end()) return DosFail(kDosSyntaxNoName);
  int drive = 0;
  const std::vector<Bytes> parts = SplitAt(AfterDrive(args, drive), ',');
  if (drive != 0) return DosFail(kDosDriveNotReady);
  const Bytes& name = parts[0];
  const bool newId = parts.size() > 1 && !parts[1].empty();
  if (DosStatus status = state.CloseAll(); !status.ok()) return status;
  const bool is1581 = state.kind == DriveKind::k1581;
  if (!state.disk || state.disk->IsGcr() == is1581) return NoDiskError(state.kind);
  const DiskLayout* layout = &FormatLayout(state);
  DiskId id;
  if (newId) {
    id = {parts[1][0], parts[1].size() > 1 ? parts[1][1] : static_cast<uint8_t>(' ')};
    if (DosStatus status = LayDownTracks(state, *layout, id); !status.ok()) return status;
  } else {
    if (DosStatus status = state.ForceLogIn(); !status.ok()) return status;
    if (state.volume->formatLetter() != state.volume->layout().formatLetter)
      return DosFail(kDosVersion);
    layout = &state.volume->layout();
    id = state.volume->id();
  }
  if (DosStatus status = WriteEmptyDirectory(*state.disk, *layout, name, id); !status.ok())
    return status;
  return state.ForceLogIn();
}

}  // namespace sim
