#include "disk/write_verify.h"

#include <algorithm>
#include <cstdlib>
#include <string>

#include "core/job_codes.h"
#include "core/log.h"
#include "disk/disk_map.h"
#include "disk/geometry.h"
#include "disk/read_track.h"
#include "link/drive_job.h"
#include "link/exchange.h"

namespace dw {

namespace {

constexpr char kPrefix[] = "Verify after writing: ";
constexpr int kBurstSectors = 20;

std::string CodeDigit(uint8_t code) {
  return std::string(1, "0123456789ABCDEF"[code & 0x0F]);
}

std::string Counted(int count, const std::string& one, const std::string& many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

// The code a read gives a sector built with `built`: the track builder lays down only the
// defects a read can meet; an error byte of another code (a write error, say) gives a good sector.
uint8_t ReadCodeOf(uint8_t built) {
  switch (built) {
    case kJobHeaderNotFound:
    case kJobNoSync:
    case kJobDataBlockNotFound:
    case kJobDataChecksum:
    case kJobHeaderChecksum:
    case kJobDiskIdMismatch:
      return built;
    default:
      return kJobGood;
  }
}

// The sectors that differ so far, and on how many tracks.
struct Tally {
  int sectors = 0;
  int tracks = 0;
  int compared = 0;
};

void ReportSector(Program& p, int track, int sector, const std::string& what) {
  LogLine(p, kPrefix + std::string("Track ") + std::to_string(track) + ", Sector " +
                 std::to_string(sector) + ": " + what);
  ShowSectorOnMap(p, track, sector, kMapDiffers);
}

// Compares the sectors of one track as read (codes, data at the track's place in ImageBuffer)
// with what was written; returns how many differ.
int CompareTrack(Program& p, const WrittenTrack& written, const std::vector<uint8_t>& codes) {
  const TrackRecord& record = p.TrackTable[static_cast<size_t>(written.track)];
  int differing = 0;
  for (size_t sector = 0; sector < written.codes.size(); ++sector) {
    const uint8_t wrote = ReadCodeOf(written.codes[sector]);
    const uint8_t read = sector < codes.size() ? codes[sector] : uint8_t{kJobHeaderNotFound};
    const int number = static_cast<int>(sector);
    if (read != wrote) {
      ReportSector(p, written.track, number,
                   "read with code " + CodeDigit(read) + ", written with " + CodeDigit(wrote));
      ++differing;
      continue;
    }
    if (wrote != kJobGood) continue;
    const auto disk = p.ImageBuffer.begin() + record.imageOffset + int64_t{number} * kSectorBytes;
    const auto image = written.data.begin() + int64_t{number} * kSectorBytes;
    if (!std::equal(image, image + kSectorBytes, disk)) {
      ReportSector(p, written.track, number, "data differ");
      ++differing;
    }
  }
  return differing;
}

// The codes of a GCR track read back with the reading code; nothing when the read did not come.
bool ReadGcrCodes(Program& p, const WrittenTrack& written, std::vector<uint8_t>* codes) {
  const TrackRecord& record = p.TrackTable[static_cast<size_t>(written.track)];
  DriveJob(p, 5, record.gcrPages, written.track, written.density, 0);
  if (p.LinkState != 0) return false;
  *codes = DecodeGcrSectors(p, written.track);
  return true;
}

// The sector a failing burst status stands for: the drive's error channel names it
// ("23,READ ERROR,80,39"); the half's first sector when it does not.
int FailingSector(Program& p, int firstSector) {
  const std::string text = ReadErrorChannel(p);
  const size_t comma = text.rfind(',');
  if (comma == std::string::npos) return firstSector;
  const int sector = std::atoi(text.c_str() + comma + 1);
  return sector >= firstSector && sector < firstSector + kBurstSectors ? sector : firstSector;
}

// The 1581's two burst reads of a track: the data into ImageBuffer, each sector's code from the
// status of its half. false when a half never came whole (logged).
bool ReadBurstCodes(Program& p, const WrittenTrack& written, std::vector<uint8_t>* codes) {
  const TrackRecord& record = p.TrackTable[static_cast<size_t>(written.track)];
  codes->assign(written.codes.size(), kJobGood);
  for (int half = 0; half < 2; ++half) {
    const int first = half * kBurstSectors;
    const int length = BurstReadHalf(p, written.track, first);
    if (p.LinkState != 0) return false;
    if (length != 1 && length != kBurstHalfReplyLength) {
      LogLine(p, kPrefix + std::string("Track ") + std::to_string(written.track) +
                     " not read back: garbled replies");
      p.LinkState |= kLinkIecError;
      return false;
    }
    const uint8_t status = p.ReplyData[0] & 0x0F;
    if (length == kBurstHalfReplyLength) {
      std::copy_n(p.ReplyData.begin() + 1, kBurstSectors * kSectorBytes,
                  p.ImageBuffer.begin() + record.imageOffset + int64_t{first} * kSectorBytes);
    }
    if (status <= kJobGood) continue;
    // Without data every sector of the half is unread; with data only the one the drive names.
    if (length == 1) {
      std::fill_n(codes->begin() + first, kBurstSectors, status);
    } else {
      (*codes)[static_cast<size_t>(FailingSector(p, first))] = status;
    }
  }
  return true;
}

}  // namespace

bool VerifyAfterWritingOn(Program& p) {
  if (p.VerifyWritesMark) LogLine(p, kPrefix + std::string("on"));
  return p.VerifyWritesMark;
}

bool VerifyWrittenTracks(Program& p, const std::vector<WrittenTrack>& tracks) {
  const bool burst = p.DriveFamily == kFamily1581;
  if (!burst) StartSectorTransfer(p, kCodeTrackRead, false);
  Tally tally;
  for (size_t i = 0; i < tracks.size() && p.LinkState == 0; ++i) {
    const WrittenTrack& written = tracks[i];
    ShowStatusText(p, "Verifying Track: " + std::to_string(written.track));
    ShowProgress(p, static_cast<int>(i) + 1, 1, static_cast<int>(tracks.size()));
    std::vector<uint8_t> codes;
    if (!(burst ? ReadBurstCodes(p, written, &codes) : ReadGcrCodes(p, written, &codes))) break;
    const int differing = CompareTrack(p, written, codes);
    tally.sectors += differing;
    tally.tracks += differing > 0 ? 1 : 0;
    tally.compared += static_cast<int>(written.codes.size());
  }
  // A link that failed has said so; no track after it was compared.
  if (p.LinkState != 0) return false;
  if (tally.sectors == 0) {
    LogLine(p, kPrefix + Counted(tally.compared, "sector", "sectors") + " on " +
                   Counted(static_cast<int>(tracks.size()), "track", "tracks") +
                   " read back as written");
    return true;
  }
  LogLine(p, kPrefix + Counted(tally.sectors, "sector differs", "sectors differ") + " on " +
                 Counted(tally.tracks, "track", "tracks"));
  // The disk is no copy of what was written: the command must not end as if it were.
  p.LinkState |= kLinkIecError;
  return false;
}

}  // namespace dw
