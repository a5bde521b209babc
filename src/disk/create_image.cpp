#include "disk/create_image.h"

#include <span>
#include <string>

#include "core/image_file.h"
#include "core/log.h"
#include "disk/both_sides.h"
#include "disk/disk_map.h"
#include "disk/geometry.h"
#include "disk/read_track.h"
#include "link/detect.h"
#include "link/drive_job.h"
#include "link/exchange.h"
#include "link/status_text.h"
#include "platform/pc_file.h"

namespace dw {

namespace {

// The image took the whole disk's reading time; one click on Cancel must not throw it away.
std::string ChooseImageFile(Program& p) {
  for (;;) {
    std::string path = SelectImageFile(p, true, 0, std::string());
    if (!path.empty()) return path;
    const MessageAnswer discard =
        p.desk.ShowMessage({kDiscardImageCaption, "Discard the image just read?",
                            MessageIcon::kQuestion, MessageButtons::kYesNo, MessageAnswer::kNo});
    if (discard == MessageAnswer::kYes) return path;
  }
}

}  // namespace

void CreateDiskImage(Program& p) {
  if (!RequireKnownDriveModel(p)) return;
  if (p.DriveFamily == kFamily1541 && !RequireFastSerialDriver(p)) return;
  p.FortyTracks = p.FortyTracksMark;
  p.ImageErrors = p.ImageErrorsMark;
  DetectDiskFormat(p, true);
  SelectGeometry(p, false);
  if (!p.FortyTracks && ReachSecondSideOfDisk(p)) SelectGeometry(p, false);
  // Only a 1571 turns the disk's second side under a head.
  if (p.DiskFormat == kDisk1571DoubleSided && p.DriveFamily != kFamily1571) {
    p.desk.ShowMessage({"Caution!", "Can't read all tracks on " + p.DriveModelName,
                        MessageIcon::kNone, MessageButtons::kOk, MessageAnswer::kOk});
  }
  const int retries = p.RetriesMark ? p.RetryCount : 0;
  LogLine(p, "Reading " + std::to_string(p.TrackCount) + " tracks");
  StartDiskMap(p, p.TrackCount);
  StartSectorTransfer(p, kCodeTrackRead, true);
  int headersFound = 0;
  for (int track = 1; track <= p.TrackCount; ++track) {
    ShowProgress(p, track, 1, p.TrackCount);
    ReadTrack(p, track, retries);
    headersFound += p.TrackHeadersFound;
  }
  // One more page of track 18 leaves the head on the directory track.
  if (p.DriveFamily != kFamily1581) {
    DriveJob(p, 5, 1, 18, 0, 0);
  }
  ReadErrorChannel(p);
  if (p.LinkState != 0) return;
  // Damaged disks are why images are made, so any track with a sector on it makes an image;
  // with not one header on the whole disk there is nothing but zeros to keep.
  if (headersFound == 0) {
    LogLine(p, "Drive " + std::to_string(p.CurrentDevice) +
                   " holds no readable disk: not one track gave a sector header");
    p.LinkState |= kLinkIecError;
    return;
  }

  const std::string path = ChooseImageFile(p);
  if (path.empty()) return;
  const auto image =
      std::span<const uint8_t>(p.ImageBuffer).first(static_cast<size_t>(p.ImageFileSize));
  if (!WriteWholeFile(path, image)) {
    ShowWarningBox(p, "Error: Can't write to file " + path);
    p.LinkState |= kLinkIecError;
    return;
  }
  LogLine(p, "Saved " + FilePart(path) + ": " + SectorTally(p));
}

}  // namespace dw
