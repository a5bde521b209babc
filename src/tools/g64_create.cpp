#include "tools/g64_create.h"

#include <algorithm>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "core/image_file.h"
#include "core/job_codes.h"
#include "core/log.h"
#include "disk/disk_map.h"
#include "disk/geometry.h"
#include "disk/read_track.h"
#include "gcr/codec.h"
#include "gcr/raw_track_stats.h"
#include "gcr/zones.h"
#include "link/detect.h"
#include "link/drive_job.h"
#include "link/exchange.h"
#include "link/status_text.h"
#include "platform/pc_file.h"
#include "tools/g64_file.h"
#include "tools/track_revolution.h"

namespace dw {

namespace {

constexpr int kPageBytes = 256;
constexpr int kCountBytes = 2;
// The speeds of the drives a disk may have been written on: a track holds one turn of its
// writer, from what a turn at the fastest holds to what a turn at the slowest holds.
constexpr double kSlowestWriterRpm = 285.0;
constexpr double kFastestWriterRpm = 315.0;
// A read of two turns at the slowest, and a page more, holds any place of the track twice
// with a stretch behind it, wherever the read starts.
constexpr int kReadTurns = 2;
constexpr int kDensityGiven = 0x80;
// No flux change for this many bytes: no disk turns under the head (a real track, written or
// noise, never holds eight 0 bits in a row, let alone so many bytes of them).
constexpr int64_t kNoFluxRun = 32;
constexpr int kDirectoryTrack = 18;
constexpr size_t kSidesByte = 3;
constexpr uint8_t kDoubleSidedMark = 0x80;
// $00 bytes a write splice leaves; more on one track are a drop-out, which the log names.
constexpr int kSpliceFluxGaps = 2;

int ReadPages(int zone) {
  const int32_t bytes = kReadTurns * NominalCapacityBytes(zone, kSlowestWriterRpm) + kPageBytes;
  return (bytes + kPageBytes - 1) / kPageBytes;
}

std::span<const uint8_t> RawBytes(const Program& p) {
  const size_t size = p.ReplyData.size();
  return std::span<const uint8_t>(p.ReplyData).first(size > kCountBytes ? size - kCountBytes : 0);
}

bool ReadRaw(Program& p, int track, int zone) {
  DriveJob(p, 5, ReadPages(zone), track, ZoneBits(zone) | kDensityGiven, 0);
  return p.LinkState == 0;
}

bool NoFluxUnderTheHead(std::span<const uint8_t> raw) {
  int64_t run = 0;
  for (uint8_t byte : raw) {
    run = byte == 0 ? run + 1 : 0;
    if (run >= kNoFluxRun) return true;
  }
  return false;
}

// Whether the raw read holds a header of one of the track's sectors, good or with a bad
// checksum: at a wrong bit rate none is found.
bool HoldsAHeaderOfTheTrack(Program& p, int track) {
  const int sectors = p.TrackTable[static_cast<size_t>(track)].sectorCount;
  for (int sector = 0; sector < sectors; ++sector) {
    const HeaderSearchResult found = FindSectorHeader(p, track, sector);
    if (found == kHeaderFound || found == kHeaderChecksumBad) return true;
  }
  return false;
}

// The revolution cut from the raw read in ReplyData, which it then replaces (the byte-rate
// count kept behind it) for the decoder.
std::vector<uint8_t> CutTrack(Program& p, int track, int zone) {
  MeasureRawTrack(p);
  const float driveRpm = 60000000.0f / static_cast<float>(p.RevolutionTimeUs);
  const int32_t turn = NominalTrackCapacity(zone, driveRpm);
  const TrackRevolution revolution = CutOneRevolution(
      RawBytes(p), p.TrackStats.byteCapacity, turn, NominalCapacityBytes(zone, kFastestWriterRpm),
      NominalCapacityBytes(zone, kSlowestWriterRpm));
  if (!revolution.repeated) {
    LogLine(p, "Track " + std::to_string(track) +
                   " does not repeat in the read: " + std::to_string(revolution.bytes.size()) +
                   " bytes, one turn at zone " + std::to_string(zone) + ", kept");
  }
  if (revolution.fluxGapsFilled > kSpliceFluxGaps) {
    LogLine(p, "Track " + std::to_string(track) + ": " + std::to_string(revolution.fluxGapsFilled) +
                   " bytes without a flux change (a drop-out) kept as the byte before each");
  }
  const std::vector<uint8_t> count(p.ReplyData.end() - kCountBytes, p.ReplyData.end());
  p.ReplyData = revolution.bytes;
  p.ReplyData.insert(p.ReplyData.end(), count.begin(), count.end());
  return revolution.bytes;
}

enum class TrackOutcome { kRead, kNoDisk, kLinkFailed };

// Reads the track at its own zone. A track that holds none of its headers there, written at
// another rate than its number says, is read again at the zone the drive measured, which the
// G64 then records for it.
TrackOutcome ReadG64Track(Program& p, int track, G64Track& stored) {
  const int ownZone = ZoneFromBits(p.TrackTable[static_cast<size_t>(track)].zoneBits);
  int zone = ownZone;
  ShowStatusText(p, "Reading Track: " + std::to_string(track));
  if (!ReadRaw(p, track, zone)) return TrackOutcome::kLinkFailed;
  if (NoFluxUnderTheHead(RawBytes(p))) return TrackOutcome::kNoDisk;
  MeasureRawTrack(p);
  const int measured = p.TrackStats.bitrateZone;
  if (measured != ownZone && !HoldsAHeaderOfTheTrack(p, track)) {
    const std::vector<uint8_t> first = p.ReplyData;
    if (!ReadRaw(p, track, measured)) return TrackOutcome::kLinkFailed;
    if (HoldsAHeaderOfTheTrack(p, track)) {
      LogLine(p, "Track " + std::to_string(track) + " holds no header at zone " +
                     std::to_string(ownZone) + ": read at its measured zone " +
                     std::to_string(measured));
      zone = measured;
    } else {
      p.ReplyData = first;
    }
  }
  stored = G64Track{zone, CutTrack(p, track, zone)};
  DecodeGcrTrack(p, track);
  return TrackOutcome::kRead;
}

// The image took the whole disk's reading time; one click on Cancel must not throw it away.
std::string ChooseG64File(Program& p) {
  for (;;) {
    std::string path = SelectG64File(p);
    if (!path.empty()) return path;
    const MessageAnswer discard =
        p.desk.ShowMessage({kDiscardG64Caption, "Discard the image just read?",
                            MessageIcon::kQuestion, MessageButtons::kYesNo, MessageAnswer::kNo});
    if (discard == MessageAnswer::kYes) return path;
  }
}

// The directory header read from track 18 carries the double-sided mark, or the drive said so.
bool DiskIsDoubleSided(const Program& p) {
  if (p.DiskFormat == kDisk1571DoubleSided) return true;
  const size_t at = static_cast<size_t>(p.TrackTable[kDirectoryTrack].imageOffset) + kSidesByte;
  return p.MapCells.size() >= kDirectoryTrack && !p.MapCells[kDirectoryTrack - 1].empty() &&
         p.MapCells[kDirectoryTrack - 1][0] == MapCell(kJobGood) &&
         (p.ImageBuffer[at] & kDoubleSidedMark) != 0;
}

std::string NoReadableDisk(const Program& p) {
  return "Drive " + std::to_string(p.CurrentDevice) +
         " holds no readable disk: not one track gave a sector header";
}

void SaveG64(Program& p, const std::map<int, G64Track>& tracks) {
  const std::string path = ChooseG64File(p);
  if (path.empty()) return;
  if (!WriteWholeFile(path, G64FileBytes(tracks))) {
    ShowWarningBox(p, "Error: Can't write to file " + path);
    p.LinkState |= kLinkIecError;
    return;
  }
  LogLine(p, "Saved " + FilePart(path) + ": " + std::to_string(tracks.size()) + " tracks, " +
                 SectorTally(p));
}

}  // namespace

void CreateG64Image(Program& p) {
  if (p.DriveFamily == kFamily1581) {
    LogLine(p, "NOT APPLICABLE TO 1581");
    return;
  }
  if (!RequireKnownDriveModel(p)) return;
  if (p.DriveFamily == kFamily1541 && !RequireFastSerialDriver(p)) return;
  p.FortyTracks = p.FortyTracksMark;
  p.ImageErrors = false;
  DetectDiskFormat(p, true);
  SelectGeometry(p, false);
  const int trackCount = p.FortyTracks ? 40 : 35;
  LogLine(p, "Reading " + std::to_string(trackCount) + " tracks");
  StartDiskMap(p, trackCount);
  StartSectorTransfer(p, kCodeTrackRead, true);
  std::map<int, G64Track> tracks;
  int headersFound = 0;
  for (int track = 1; track <= trackCount && p.LinkState == 0; ++track) {
    ShowProgress(p, track, 1, trackCount);
    const TrackOutcome outcome = ReadG64Track(p, track, tracks[track]);
    if (outcome == TrackOutcome::kLinkFailed) break;
    if (outcome == TrackOutcome::kNoDisk) {
      // A G64 cannot hold a track without flux changes (the drive code takes $00 as the end
      // of a track to write), and the tracks after it would be no disk's either.
      LogLine(p, headersFound == 0 ? NoReadableDisk(p)
                                   : "Track " + std::to_string(track) +
                                         " not read: no flux change under the head (no disk "
                                         "turning)");
      p.LinkState |= kLinkIecError;
      break;
    }
    headersFound += p.TrackHeadersFound;
  }
  // One more page of track 18 leaves the head on the directory track.
  DriveJob(p, 5, 1, kDirectoryTrack, 0, 0);
  ReadErrorChannel(p);
  if (p.LinkState != 0) return;
  // As with a disk image: any track with a sector header makes an image worth keeping.
  if (headersFound == 0) {
    LogLine(p, NoReadableDisk(p));
    p.LinkState |= kLinkIecError;
    return;
  }
  if (DiskIsDoubleSided(p)) {
    LogLine(p, "G64 holds one side: side one of the double-sided disk is saved");
  }
  SaveG64(p, tracks);
}

}  // namespace dw
