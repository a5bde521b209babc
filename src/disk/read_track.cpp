#include "disk/read_track.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "core/job_codes.h"
#include "core/log.h"
#include "disk/disk_map.h"
#include "disk/geometry.h"
#include "disk/track_retries.h"
#include "gcr/codec.h"
#include "gcr/raw_track_stats.h"
#include "link/drive_job.h"
#include "link/exchange.h"
#include "link/status_text.h"

namespace dw {

namespace {

constexpr int kStatusTextWidth = 23;
// The last sector number a GCR track has, for the ruler.
constexpr int kRulerLastSector = 20;

// The 1581's burst read: 20 sectors of a track, a status byte in front of them.
constexpr int kBurstPacketLength = 10;
constexpr int kBurstSectors = 20;
constexpr int kBurstReplyLength = kBurstHalfReplyLength;
static_assert(kBurstReplyLength == 1 + kBurstSectors * kSectorBytes);
constexpr uint8_t kBurstTimeoutSeconds = 200;
constexpr uint8_t kBurstDiskChanged = 0x0B;
constexpr int kCommandChannel = 15;

// The directory header and its double-sided mark (bit 7 of byte 3), as a 1571 in 1571 mode
// looks for it.
constexpr int kDirectoryTrack = 18;
constexpr size_t kSidesByte = 3;
constexpr uint8_t kDoubleSidedMark = 0x80;

bool IsGcrFamily(uint8_t family) {
  return family == kFamily1541 || family == kFamily1570 || family == kFamily1571;
}

void LogRuler(Program& p) {
  std::string tens = "Sec:";
  std::string units = "Sec:";
  for (int sector = 0; sector <= kRulerLastSector; ++sector) {
    tens += static_cast<char>('0' + sector / 10);
    units += static_cast<char>('0' + sector % 10);
  }
  LogLine(p, tens);
  LogLine(p, units);
  LogLine(p, std::string(25, '='));
}

// A track's sectors were found on too few or too many sync marks to have been formatted:
// a missing header there means no sync rather than a lost header.
bool SyncCountImplausible(const Program& p, int sectorCount) {
  return p.TrackStats.syncCount < 2 * sectorCount || p.TrackStats.syncCount > 256;
}

// The data block behind the header just found, decoded into PlainBuffer: its code (1, 4 or 5).
uint8_t DecodeDataBlock(Program& p, const TrackRecord& record) {
  SeekSyncEnd(p);
  GcrDecode(p, 260);
  const int64_t end = std::ssize(p.ReplyData) - 1;
  if (p.PlainBuffer[0] != record.dataBlockId || p.GcrReadPos >= end) return kJobDataBlockNotFound;
  uint8_t sum = p.PlainBuffer[kSectorBytes + 1];
  for (int i = 1; i <= kSectorBytes; ++i) sum ^= p.PlainBuffer[static_cast<size_t>(i)];
  return sum == 0 ? kJobGood : kJobDataChecksum;
}

void CopyDataToImage(Program& p, const TrackRecord& record, int sector) {
  std::copy_n(p.PlainBuffer.begin() + 1, kSectorBytes,
              p.ImageBuffer.begin() + record.imageOffset + int64_t{sector} * kSectorBytes);
}

bool HeaderIdIsTheDisks(const Program& p) {
  // Header bytes 5 and 4 are the first and the second disk ID character.
  return p.PlainBuffer[5] == p.DiskId[1] && p.PlainBuffer[4] == p.DiskId[2];
}

// A track written in one revolution from anywhere keeps a piece of what was there before: an
// old header can come first in the read, with a data block the new track cut off, or with the
// old disk's ID. A later copy of the header that reads well is the sector; without one the
// first copy's code stands. (A sector damaged on the disk is damaged in every copy.)
bool FindGoodLaterCopy(Program& p, const TrackRecord& record, int track, int sector, int64_t from) {
  while (FindSectorHeaderFrom(p, track, sector, from) == kHeaderFound) {
    from = p.GcrReadPos;
    if (!HeaderIdIsTheDisks(p)) continue;
    if (DecodeDataBlock(p, record) != kJobGood) continue;
    CopyDataToImage(p, record, sector);
    return true;
  }
  return false;
}

uint8_t DecodeSector(Program& p, int track, int sector) {
  const TrackRecord& record = p.TrackTable[static_cast<size_t>(track)];
  switch (FindSectorHeader(p, track, sector)) {
    case kNoHeaderBlock:
    case kOtherHeadersOnly:
      return SyncCountImplausible(p, record.sectorCount) ? kJobNoSync : kJobHeaderNotFound;
    case kHeaderChecksumBad:
      return kJobHeaderChecksum;
    case kNoSyncAtAll:
      return kJobNoSync;
    case kHeaderFound:
      break;
  }
  const int64_t headerEnd = p.GcrReadPos;
  const bool idMatches = HeaderIdIsTheDisks(p);
  uint8_t code = DecodeDataBlock(p, record);
  // A data block that was found is kept, also when its checksum fails.
  if (code != kJobDataBlockNotFound) CopyDataToImage(p, record, sector);
  if (!idMatches) code = kJobDiskIdMismatch;
  if (code != kJobGood && FindGoodLaterCopy(p, record, track, sector, headerEnd)) {
    code = kJobGood;
  }
  return code;
}

std::string TrackStatusLine(const Program& p, int track, const std::string& codes, bool good) {
  char head[8];
  std::snprintf(head, sizeof head, "T%02d:", track);
  std::string text = head + codes + (good ? "" : "<!");
  if (text.size() < kStatusTextWidth) text.resize(kStatusTextWidth, ' ');
  char tail[48];
  std::snprintf(tail, sizeof tail, "  SY:%04lld  BRZ:%d",
                static_cast<long long>(p.TrackStats.syncCount), p.TrackStats.bitrateZone);
  return text + tail;
}

// A read the link did not bring back (cut short by RESET, a time-out, a pulled adapter, a reply
// the adapter marked as failed) is no track: what lies in the reply buffer is not this track,
// and its sectors stay not read. The link's failure has been told.
bool ReadRawTrack(Program& p, int track) {
  const TrackRecord& record = p.TrackTable[static_cast<size_t>(track)];
  // Without 40 tracks the drive code takes the track's own zone.
  const int density = p.FortyTracks ? (record.zoneBits | 0x80) : 0;
  DriveJob(p, 5, record.gcrPages, track, density, 0);
  return p.LinkState == 0;
}

// The codes a track's read keeps: error bytes, the map (cells as the map shows them), the
// track status line.
bool RecordTrack(Program& p, int track, const std::vector<uint8_t>& codes,
                 const std::vector<uint8_t>& cells) {
  if (track == 1) p.ErrorByteCursor = 0;
  bool good = true;
  std::string text;
  for (const uint8_t code : codes) {
    if (code > kJobGood) good = false;
    text += "0123456789ABCDEF"[code & 0x0F];
    if (p.ImageErrors) StoreErrorByte(p, code);
    ++p.ErrorByteCursor;
  }
  ShowTrackOnMap(p, track, cells);
  LogLine(p, TrackStatusLine(p, track, text, good));
  return good;
}

std::vector<std::string> SectorNames(int count) {
  std::vector<std::string> names;
  for (int sector = 0; sector < count; ++sector) names.push_back(std::to_string(sector));
  return names;
}

// The track is read again while a sector is not good, `retries` times at most; each sector
// keeps its best read (track_retries.h), its data from that read.
bool ReadGcrTrackAgain(Program& p, int track, int retries) {
  const TrackRecord& record = p.TrackTable[static_cast<size_t>(track)];
  const auto area = p.ImageBuffer.begin() + record.imageOffset;
  const size_t areaBytes = static_cast<size_t>(record.sectorCount) * kSectorBytes;
  // A sector whose data block a read did not find keeps what was there before the track.
  const std::vector<uint8_t> before(area, area + static_cast<int64_t>(areaBytes));
  std::vector<std::vector<uint8_t>> data;
  TrackReads reads(record.sectorCount);
  int headersFound = 0;
  for (;;) {
    const std::vector<uint8_t> codes = DecodeGcrSectors(p, track);
    headersFound = std::max(headersFound, p.TrackHeadersFound);
    data.emplace_back(area, area + static_cast<int64_t>(areaBytes));
    std::vector<uint8_t> cells;
    for (const uint8_t code : codes) cells.push_back(MapCell(code));
    reads.Add(cells);
    if (reads.LastAllGood() || reads.count() > retries) break;
    std::copy(before.begin(), before.end(), area);
    ShowStatusText(p, "Reading Track: " + std::to_string(track) + " (try " +
                          std::to_string(reads.count() + 1) + ")");
    if (!ReadRawTrack(p, track)) return false;
  }
  const std::vector<size_t> kept = reads.Kept();
  std::vector<uint8_t> codes;
  for (size_t sector = 0; sector < kept.size(); ++sector) {
    const size_t from = sector * kSectorBytes;
    std::copy_n(data[kept[sector]].begin() + static_cast<int64_t>(from), kSectorBytes,
                area + static_cast<int64_t>(from));
    codes.push_back(reads.Cell(kept[sector], sector));
  }
  p.TrackHeadersFound = headersFound;
  if (reads.count() > 1) LogRetries(p, track, reads, kept, SectorNames(record.sectorCount));
  return RecordTrack(p, track, codes, reads.KeptCells(kept));
}

bool ReadGcrTrack(Program& p, int track, int retries) {
  if (!ReadRawTrack(p, track)) return false;
  if (retries > 0) return ReadGcrTrackAgain(p, track, retries);
  return DecodeGcrTrack(p, track);
}

void BuildBurstReadPacket(Program& p, int track, int firstSector) {
  const uint8_t packet[kBurstPacketLength] = {kOpBurstRead,
                                              kBurstPacketLength,
                                              static_cast<uint8_t>(p.CurrentDevice & 0x1F),
                                              15,
                                              'U',
                                              '0',
                                              0xC0,
                                              static_cast<uint8_t>(track),
                                              static_cast<uint8_t>(firstSector),
                                              1};
  std::copy(std::begin(packet), std::end(packet), p.CommandPacket.begin());
}

// A reply of a length the burst read never has was garbled on the way (by the line, not by
// the disk): the drive is asked again, as often as this, before the track counts as lost.
constexpr int kBurstReadAttempts = 3;

// A failing burst status: the half track and the controller's words for it.
void LogBurstError(Program& p, int track, int firstSector, uint8_t status) {
  if ((status & 0x8F) <= 1) return;
  const TrackRecord& record = p.TrackTable[static_cast<size_t>(track)];
  LogLine(p, "Error on:  Track " + std::to_string(track) + "; Sector " +
                 std::to_string(firstSector) +
                 "; @Adr.: " + UpperHex(static_cast<uint32_t>(record.imageOffset)));
  LogLine(p, StatusText(p, status, kJobCodeKind));
}

// One burst read of a half track: its status, and its sectors when they came.
struct BurstHalf {
  uint8_t status = 0;
  bool hasData = false;
  std::vector<uint8_t> data;
};

enum class HalfOutcome { kRead, kDiskChanged, kGarbled };

HalfOutcome ReadHalfOnce(Program& p, int track, int firstSector, bool firstCommand,
                         BurstHalf& half) {
  int length = BurstReadHalf(p, track, firstSector);
  if (length == 1 && firstCommand && BurstReportsDiskChange(p, p.ReplyData[0])) {
    length = BurstReadHalf(p, track, firstSector);
  }
  if (length != 1 && length != kBurstReplyLength) return HalfOutcome::kGarbled;
  half.status = p.ReplyData[0];
  half.hasData = length == kBurstReplyLength;
  half.data.clear();
  if (half.hasData)
    half.data.assign(p.ReplyData.begin() + 1, p.ReplyData.begin() + kBurstReplyLength);
  if (!half.hasData && (half.status & 0x0F) == kBurstDiskChanged) return HalfOutcome::kDiskChanged;
  return HalfOutcome::kRead;
}

// Each half's 20 sectors are judged together by the burst status in front of them.
//
// The 1581 latches a disk change when its door opens and reports it once, on its next command,
// as news rather than as a fault of the disk. The first command of a whole-disk operation is
// therefore asked again, whether or not the drive carried it out: reading the same sectors
// twice does no harm, and a disk put in while a box or the file requester was open is not
// called unreadable. A change reported later means the disk turning now may be another one than
// the tracks before came from: the operation stops there.
//
// A half with a failing status is read again, `retries` times at most, until one read is good;
// the half keeps its best read (track_retries.h).
bool ReadBurstTrack(Program& p, int track, int retries) {
  const TrackRecord& record = p.TrackTable[static_cast<size_t>(track)];
  std::vector<uint8_t> cells;
  for (int half = 0; half < 2; ++half) {
    const int firstSector = half * kBurstSectors;
    std::vector<BurstHalf> got;
    TrackReads reads(1);
    for (;;) {
      BurstHalf read;
      const HalfOutcome outcome =
          ReadHalfOnce(p, track, firstSector, track == 1 && half == 0 && got.empty(), read);
      if (outcome == HalfOutcome::kDiskChanged) {
        LogBurstError(p, track, firstSector, read.status);
        p.LinkState |= kLinkIecError;
        ShowTrackOnMap(p, track, cells);
        return false;
      }
      if (outcome == HalfOutcome::kGarbled) {
        // A D81 has no error bytes to mark sectors that never came: the image would hold zeros
        // as if the disk did. A link that failed has said so already.
        if (p.LinkState == 0) {
          LogLine(p, "Track " + std::to_string(track) +
                         " not read: " + std::to_string(kBurstReadAttempts) +
                         " garbled replies for its sectors " + std::to_string(firstSector) +
                         " to " + std::to_string(firstSector + kBurstSectors - 1));
          p.LinkState |= kLinkIecError;
        }
        ShowTrackOnMap(p, track, cells);
        return false;
      }
      got.push_back(read);
      reads.Add({MapCell(read.status & 0x8F)});
      if (reads.LastAllGood() || reads.count() > retries) break;
      ShowStatusText(p, "Reading Track: " + std::to_string(track) + " (try " +
                            std::to_string(reads.count() + 1) + ")");
    }
    const std::vector<size_t> kept = reads.Kept();
    const BurstHalf& best = got[kept[0]];
    // With data behind a failing status (a disk that left in the middle of the side) the
    // sectors from the failing one on are no data of the disk.
    LogBurstError(p, track, firstSector, best.status);
    if (best.hasData) {
      std::copy(best.data.begin(), best.data.end(),
                p.ImageBuffer.begin() + record.imageOffset +
                    int64_t{half} * kBurstSectors * kSectorBytes);
      p.TrackHeadersFound += kBurstSectors;
    }
    if (reads.count() > 1) {
      LogRetries(
          p, track, reads, kept,
          {std::to_string(firstSector) + " to " + std::to_string(firstSector + kBurstSectors - 1)});
    }
    const std::vector<uint8_t> same = SameCells(kBurstSectors, reads.KeptCells(kept)[0]);
    cells.insert(cells.end(), same.begin(), same.end());
  }
  ShowTrackOnMap(p, track, cells);
  return true;
}

}  // namespace

int BurstReadHalf(Program& p, int track, int firstSector) {
  for (int attempt = 1;; ++attempt) {
    BuildBurstReadPacket(p, track, firstSector);
    const int length =
        AdapterExchange(p, kBurstPacketLength, kBurstReplyLength, kBurstTimeoutSeconds);
    if (length == 1 || length == kBurstReplyLength) return length;
    LogLine(p, "Data packet has wrong size");
    // A link that failed (time-out, RESET, a drive error) is not asked again.
    if (attempt == kBurstReadAttempts || p.LinkState != 0) return length;
  }
}

bool BurstReportsDiskChange(Program& p, uint8_t status) {
  if ((status & 0x0F) != kBurstDiskChanged) return false;
  // The message only repeats the news; left there it would stand for the command's outcome.
  ReadChannel(p, kCommandChannel, 64, 2);
  return true;
}

bool DirectoryHeaderMarksTwoSides(Program& p) {
  // Track 18 has the same layout whatever the image; the table may not have been set up yet.
  BuildTrackTable(p);
  StartSectorTransfer(p, kCodeTrackRead, false);
  const TrackRecord& record = p.TrackTable[kDirectoryTrack];
  // Track 18 lies on the first side, which the drive code reaches in either mode.
  DriveJob(p, 5, record.gcrPages, kDirectoryTrack, 0, 0);
  if (p.LinkState != 0 || FindSectorHeader(p, kDirectoryTrack, 0) != kHeaderFound) return false;
  if (DecodeDataBlock(p, record) != kJobGood) return false;
  return (p.PlainBuffer[1 + kSidesByte] & kDoubleSidedMark) != 0;
}

void StartSectorTransfer(Program& p, int codeNumber, bool ruler) {
  if (!IsGcrFamily(p.DriveFamily)) return;
  DriveJob(p, 0, codeNumber, 0, 0, 0);
  if (codeNumber == kCodeTrackRead && ruler) LogRuler(p);
}

bool ReadTrack(Program& p, int track, int retries) {
  p.TrackHeadersFound = 0;
  if (track <= 0 || track > p.TrackCount || track >= kTrackTableSize || p.LinkState != 0) {
    return false;
  }
  ShowStatusText(p, "Reading Track: " + std::to_string(track));
  if (IsGcrFamily(p.DriveFamily)) return ReadGcrTrack(p, track, retries);
  if (p.DriveFamily == kFamily1581) return ReadBurstTrack(p, track, retries);
  return false;
}

std::vector<uint8_t> DecodeGcrSectors(Program& p, int track) {
  std::vector<uint8_t> cells;
  p.TrackHeadersFound = 0;
  if (track <= 0 || track >= kTrackTableSize) return cells;
  MeasureRawTrack(p);
  const TrackRecord& record = p.TrackTable[static_cast<size_t>(track)];
  for (int sector = 0; sector < record.sectorCount; ++sector) {
    const uint8_t code = DecodeSector(p, track, sector);
    if (code != kJobHeaderNotFound && code != kJobNoSync) ++p.TrackHeadersFound;
    cells.push_back(code);
  }
  return cells;
}

bool DecodeGcrTrack(Program& p, int track) {
  if (track <= 0 || track >= kTrackTableSize) return false;
  const std::vector<uint8_t> codes = DecodeGcrSectors(p, track);
  return RecordTrack(p, track, codes, codes);
}

}  // namespace dw
