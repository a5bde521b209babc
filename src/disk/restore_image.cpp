#include "disk/restore_image.h"

#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "core/image_file.h"
#include "core/job_codes.h"
#include "core/log.h"
#include "disk/both_sides.h"
#include "disk/build_track.h"
#include "disk/disk_map.h"
#include "disk/geometry.h"
#include "disk/read_track.h"
#include "disk/track_fit.h"
#include "disk/write_check.h"
#include "disk/write_preparation.h"
#include "disk/write_verify.h"
#include "link/detect.h"
#include "link/drive_job.h"
#include "link/exchange.h"
#include "link/status_text.h"
#include "platform/pc_file.h"

namespace dw {

namespace {

// Where the BAM sector of a GCR image keeps the disk ID.
constexpr int kBamIdOffset = 0xA2;
constexpr int kBamTrack = 18;

constexpr int kBurstPacketLength = 10;
constexpr int k1581TrackPages = 40;
constexpr uint8_t kBurstWriteTimeoutSeconds = 5;
constexpr uint8_t kFormatTimeoutSeconds = 200;
// The 1581 formats 160 tracks (80 on each side) and reads each back, a revolution for each at
// 300 rpm: about 320 x 0.2 s.
constexpr int k1581FormatSeconds = 64;

void LogWriteProtected(Program& p) {
  LogLine(p, StatusText(p, kJobWriteProtected, kJobCodeKind));
  p.DosErrorFlag = 1;
  // Nothing was restored: the command must not end as if it had been.
  p.LinkState |= kLinkIecError;
}

void ReadDiskIdFromImage(Program& p, std::FILE* image) {
  const int32_t bam = p.TrackTable[kBamTrack].imageOffset;
  if (!SeekImageFile(p, image, bam + kBamIdOffset, false)) return;
  for (int i = 1; i <= 2; ++i) {
    const int byte = std::fgetc(image);
    if (byte != EOF) p.DiskId[static_cast<size_t>(i)] = static_cast<uint8_t>(byte);
  }
}

// The 1581's burst write of the 40 sectors of a track from the adapter's buffer; returns the
// drive's status byte.
uint8_t BurstWriteTrack(Program& p, int track) {
  const uint8_t packet[kBurstPacketLength] = {kOpBurstWrite,
                                              kBurstPacketLength,
                                              p.CurrentDevice,
                                              15,
                                              'U',
                                              '0',
                                              0xC2,
                                              static_cast<uint8_t>(track),
                                              0,
                                              k1581TrackPages};
  std::copy(std::begin(packet), std::end(packet), p.CommandPacket.begin());
  AdapterExchange(p, kBurstPacketLength, 16, kBurstWriteTimeoutSeconds);
  return p.ReplyData.empty() ? 0 : p.ReplyData[0];
}

// The 1581 writes into its track cache, which holds one side of the track it worked on last, and
// writes the cache to the disk only when the head goes elsewhere (or on its dump command, whose
// track and side parameters would have to match the cache's): a disk taken out after the last
// burst write would lose the last 20 sectors. A burst read of track 1, which the restore has
// just written, takes the head away. false (logged) when the drive could not read it: the disk
// went before the last track reached it.
bool LastTrackLeftTheCache(Program& p) {
  constexpr int kAwayTrack = 1;
  const int length = BurstReadHalf(p, kAwayTrack, 0);
  if (length == kBurstHalfReplyLength) return true;
  // A link that failed has said so.
  if (p.LinkState == 0) {
    LogLine(p, "Track " + std::to_string(p.TrackCount) + ": " +
                   (length == 1 ? StatusText(p, p.ReplyData[0], kJobCodeKind) : "not confirmed"));
  }
  return false;
}

}  // namespace

void LogRestored(Program& p, int tracks) {
  LogLine(p, "Restored " + std::to_string(tracks) + " tracks onto drive " +
                 std::to_string(p.CurrentDevice));
}

void RestoreDiskImage(Program& p, const std::string& path) {
  const int tracks = MatchImageFileSize(p, PcFileSize(path));
  if (tracks == 0) return;
  PcFile file = PcFile::OpenForReading(path);
  if (!file.IsOpen()) {
    ShowInfoBox(p, "Error: Can't read from file " + path);
    return;
  }
  DetectDiskFormat(p, true);
  if (tracks > p.TracksPerSide) ReachSecondSide(p, "Double-sided image");
  p.DosErrorFlag = 0;
  StartSectorTransfer(p, kCodeTrackWrite, true);
  if (DiskWriteProtected(p)) LogWriteProtected(p);
  ReadDiskIdFromImage(p, file.get());
  if (p.DosErrorFlag != 0 || p.LinkState != 0) return;

  LogLine(p,
          "Restoring from file: \"" + FilePart(path) + "\"; " + std::to_string(tracks) + " Tracks");
  const bool verify = VerifyAfterWritingOn(p);
  const std::optional<RevolutionWindow> turn = PrepareTrackWrites(p, tracks);
  if (!turn) return;
  StartDiskMap(p, tracks);
  std::vector<uint8_t> cells;
  std::vector<uint8_t> data;
  std::vector<WrittenTrack> writtenTracks;
  int written = 0;
  for (int track = 1; track <= tracks; ++track) {
    const int length = BuildGcrTrack(p, track, false, false, file.get(), &cells, &data);
    if (length <= 1) continue;
    UploadBuiltTrack(p, FitTrackToRevolution(p, track, length, *turn));
    ShowStatusText(p, "Writing Track: " + std::to_string(track));
    ShowProgress(p, track, 1, tracks);
    const TrackRecord& record = p.TrackTable[static_cast<size_t>(track)];
    const int density = p.FortyTracks ? (record.zoneBits | 0x80) : 0;
    const uint8_t reply = DriveJob(p, 6, 2, track, density, 0);
    const bool doubleSided = p.TrackCount > p.TracksPerSide;
    if (!TrackWriteTook(p, track, reply, HeadersOfBuiltTrack(p, track, cells), doubleSided)) return;
    ShowTrackOnMap(p, track, cells);
    if (verify) writtenTracks.push_back({track, density, cells, data});
    ++written;
  }
  file.Close();
  if (verify && !VerifyWrittenTracks(p, writtenTracks)) return;
  // The disk now carries the image's ID and format.
  DetectDiskFormat(p, true);
  LogRestored(p, written);
}

void RestoreDiskImage1581(Program& p, const std::string& path) {
  if (MatchImageFileSize(p, PcFileSize(path)) == 0) return;
  PcFile file = PcFile::OpenForReading(path);
  if (!file.IsOpen()) {
    ShowInfoBox(p, "Error: Can't read from file " + path);
    return;
  }
  const MessageAnswer format =
      p.desk.ShowMessage({"Resore Image", "Format DISK ?", MessageIcon::kWarning,
                          MessageButtons::kYesNoCancel, MessageAnswer::kYes});
  if (format == MessageAnswer::kCancel) return;
  // Without the format only this restore's own exchanges count: an error of the listing before
  // it (an unformatted disk has no directory) must not end it unseen; its burst writes report
  // each track that fails.
  if (format == MessageAnswer::kNo) p.DosErrorFlag = 0;
  if (format == MessageAnswer::kYes) {
    LogLine(p, "Formatting 80 tracks");
    // The drive's burst format command.
    p.CommandPacket[4] = 'U';
    p.CommandPacket[5] = '0';
    p.CommandPacket[6] = 0x06;
    WriteChannel(p, 15, 3);
    // The drive answers once the whole disk is formatted: about a minute. A format that did not
    // finish (the disk taken out, a write-protect tab) leaves no disk to restore onto.
    BeginDriveBusy(p, "Formatting 80 tracks", k1581FormatSeconds);
    ReadErrorChannelWithin(p, kFormatTimeoutSeconds);
    EndDriveBusy(p);
    if (p.DosErrorFlag != 0) p.LinkState |= kLinkIecError;
  }
  if (p.DosErrorFlag != 0 || p.LinkState != 0) return;

  LogLine(p, "Restoring from file: \"" + FilePart(path) + "\"");
  const bool verify = VerifyAfterWritingOn(p);
  std::vector<WrittenTrack> writtenTracks;
  StartDiskMap(p, p.TrackCount);
  int restored = 0;
  bool failed = false;
  for (int track = 1; track <= p.TrackCount && !failed; ++track) {
    ShowProgress(p, track, 1, p.TrackCount);
    ShowStatusText(p, "Writing Track: " + std::to_string(track));
    const TrackRecord& record = p.TrackTable[static_cast<size_t>(track)];
    // Every track is written, zeros too: neither an old recording nor the drive's own format
    // leaves a track of zeros behind.
    WrittenTrack writtenTrack{track, 0, SameCells(record.sectorCount, kMapGood), {}};
    const auto upload = [&p, &file, &record, &writtenTrack] {
      const auto sectors = std::span<uint8_t>(p.CommandPacket).subspan(3, k1581TrackPages * 256);
      SeekImageFile(p, file.get(), record.imageOffset, false);
      std::fill(sectors.begin(), sectors.end(), uint8_t{0});
      file.Read(sectors);
      writtenTrack.data.assign(sectors.begin(), sectors.end());
      UploadPages(p, sectors, k1581TrackPages);
    };
    upload();
    uint8_t reply = BurstWriteTrack(p, track);
    // A disk put in while the format question was open: the drive tells of the change once
    // (see ReadBurstTrack); the track is written again, read afresh from the file, as the
    // packets since have taken the place it was read into.
    if (track == 1 && p.LinkState == 0 && BurstReportsDiskChange(p, reply)) {
      upload();
      reply = BurstWriteTrack(p, track);
    }
    // Without a reply there is no status to judge.
    if (p.LinkState >= kLinkTimeout) return;
    const uint8_t status = reply & 0x8F;
    ShowTrackOnMap(p, track, SameCells(record.sectorCount, MapCell(status)));
    // The drive senses its disk and finds each sector's address mark before it writes it: its
    // status tells whether the track took the write. A track it did not take leaves the disk
    // unlike the image, and so would every track after it.
    failed = status > 1;
    if (failed) {
      LogLine(p, "Track " + std::to_string(track) + ": " + StatusText(p, reply, kJobCodeKind));
    } else {
      ++restored;
      if (verify) writtenTracks.push_back(std::move(writtenTrack));
    }
    if (p.LinkState != 0) return;
  }
  if (!failed && !LastTrackLeftTheCache(p)) {
    if (p.LinkState != 0) return;
    --restored;
    failed = true;
  }
  LogLine(p, "Tracks restored: " + std::to_string(restored));
  file.Close();
  ReadErrorChannel(p);
  if (failed) {
    p.LinkState |= kLinkIecError;
    return;
  }
  // The last track has left the drive's cache: every track is read from the disk itself.
  if (verify && !VerifyWrittenTracks(p, writtenTracks)) return;
  LogRestored(p, restored);
}

}  // namespace dw
