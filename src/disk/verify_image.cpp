#include "disk/verify_image.h"

#include <array>
#include <string>

#include "core/log.h"
#include "disk/disk_map.h"
#include "disk/geometry.h"
#include "disk/read_track.h"
#include "link/detect.h"
#include "link/exchange.h"
#include "platform/pc_file.h"

namespace dw {

namespace {

void ReportFirstDifference(Program& p, int track, int sector, int offset, uint8_t diskByte,
                           uint8_t fileByte, int trackCount) {
  const TrackRecord& record = p.TrackTable[static_cast<size_t>(track)];
  LogLine(p, "Failed track: " + std::to_string(track) + ", sector: " + std::to_string(sector) +
                 ", offset: $" + UpperHex(static_cast<uint32_t>(offset)));
  LogLine(p, "File offset: 0x" + UpperHex(static_cast<uint32_t>(record.imageOffset +
                                                                sector * kSectorBytes + offset)));
  LogLine(p, "Disk: 0x" + UpperHex(diskByte) + " <> File: 0x" + UpperHex(fileByte));
  ShowWarningBox(p, "Verify failed!");
  ShowProgress(p, trackCount, 1, trackCount);
  ReadErrorChannel(p);
}

}  // namespace

void VerifyDiskImage(Program& p, const std::string& path) {
  if (!RequireKnownDriveModel(p)) return;
  const int trackCount = MatchImageFileSize(p, PcFileSize(path));
  if (trackCount == 0) {
    ShowInfoBox(p, "File size does not match disk capacity.");
    return;
  }
  PcFile file = PcFile::OpenForReading(path);
  if (!file.IsOpen()) {
    ShowInfoBox(p, "Error: Can't read from file " + path);
    return;
  }
  LogLine(p, "Verifying " + std::to_string(trackCount) + " tracks");
  StartDiskMap(p, trackCount);
  StartSectorTransfer(p, kCodeTrackRead, true);
  std::array<uint8_t, kSectorBytes> fileSector{};
  int compared = 0;
  for (int track = 1; track <= trackCount; ++track) {
    ShowProgress(p, track, 1, trackCount);
    ReadTrack(p, track);
    if (p.LinkState != 0) return;
    const TrackRecord& record = p.TrackTable[static_cast<size_t>(track)];
    for (int sector = 0; sector < record.sectorCount; ++sector) {
      // A file that shrank since its size was taken reads as zeros past its end.
      fileSector.fill(0);
      file.Read(fileSector);
      const size_t place = static_cast<size_t>(record.imageOffset + sector * kSectorBytes);
      for (int i = 0; i < kSectorBytes; ++i) {
        const uint8_t diskByte = p.ImageBuffer[place + static_cast<size_t>(i)];
        if (diskByte == fileSector[static_cast<size_t>(i)]) continue;
        ShowSectorOnMap(p, track, sector, kMapDiffers);
        ReportFirstDifference(p, track, sector, i, diskByte, fileSector[static_cast<size_t>(i)],
                              trackCount);
        return;
      }
      ++compared;
    }
  }
  LogLine(p, "Verify OK");
  LogLine(p, "Verified " + std::to_string(compared) + " sectors against " + FilePart(path));
}

}  // namespace dw
