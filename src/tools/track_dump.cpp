#include "tools/track_dump.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <optional>
#include <string>

#include "core/log.h"
#include "disk/both_sides.h"
#include "disk/disk_map.h"
#include "disk/geometry.h"
#include "disk/read_track.h"
#include "gcr/codec.h"
#include "gcr/hex_text.h"
#include "gcr/zones.h"
#include "link/detect.h"
#include "link/exchange.h"
#include "link/status_text.h"

namespace dw {

namespace {

constexpr int kListedSectors = 21;  // sectors 0..20, whatever the track holds
constexpr int kMaxListedGroups = 38;
constexpr int kGroupGcrBytes = 10;  // 8 plain bytes
constexpr int kGroupPlainBytes = 8;
constexpr int kRawBytesPerLine = 16;
constexpr uint8_t kSyncByte = 0xFF;
// Every header block starts with the GCR byte $52: its first plain byte is $08.
constexpr uint8_t kHeaderFirstGcrByte = 0x52;
constexpr uint8_t kSectorNotFoundCode = 2;

std::string TwoDigits(int64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "%02lld", static_cast<long long>(value));
  return text;
}

// The number at the start of the answer: blanks and tabs, a sign, then decimal digits, "$" and
// hexadecimal ones or "%" and binary ones, up to the first other character; no digits give 0.
// A number too large for any track stays too large instead of wrapping around.
int64_t LeadingNumber(const std::string& text) {
  size_t at = text.find_first_not_of(" \t");
  if (at == std::string::npos) return 0;
  bool negative = false;
  if (text[at] == '-' || text[at] == '+') negative = text[at++] == '-';
  int base = 10;
  if (at < text.size() && (text[at] == '$' || text[at] == '%')) base = text[at++] == '$' ? 16 : 2;
  constexpr int64_t kCeiling = std::numeric_limits<int32_t>::max();
  int64_t value = 0;
  for (; at < text.size(); ++at) {
    const int digit = DigitValue(text[at], base);
    if (digit < 0) break;
    value = std::min(kCeiling, value * base + digit);
  }
  return negative ? -value : value;
}

// Decodes from the sector's header on, group by group, and shows every sync byte as ">>"; the
// decoding picks up again right behind each sync mark, where the drive would.
std::string SectorListing(Program& p) {
  const int64_t end = std::ssize(p.ReplyData) - 1;
  std::string text;
  p.GcrReadPos -= kGroupGcrBytes;
  for (int group = 0; group < kMaxListedGroups; ++group) {
    GcrDecode(p, kGroupPlainBytes);
    if (p.GcrReadPos >= end) break;
    int shown = 0;
    const int64_t groupStart = p.GcrReadPos - kGroupGcrBytes;
    for (int j = 0; j < kGroupGcrBytes; ++j) {
      const int64_t at = groupStart + j;
      if (p.ReplyData[static_cast<size_t>(at)] == kSyncByte) {
        text += " >>";
        if (p.ReplyData[static_cast<size_t>(at + 1)] != kSyncByte) {
          p.GcrReadPos = at + 1;
          break;
        }
      } else if (j < kGroupPlainBytes) {
        text += " " + HexByte(p.PlainBuffer[static_cast<size_t>(shown++)]);
      }
    }
  }
  return text;
}

void LogSectors(Program& p, int track) {
  for (int sector = 0; sector < kListedSectors; ++sector) {
    std::string text;
    if (FindSectorHeader(p, track, sector) == kHeaderFound) {
      text = SectorListing(p);
    } else {
      text = StatusText(p, kSectorNotFoundCode, kJobCodeKind);
    }
    LogLine(p, "S" + TwoDigits(sector) + ": " + text);
  }
}

// Every raw byte but the byte-rate count, 16 a line; a line holding the start of a header
// block names its track and sector. A last line of fewer than 16 bytes is left out.
void ShowRawTrack(Program& p) {
  const int64_t length = std::ssize(p.ReplyData);
  std::string pane;
  for (int64_t first = 0; first + kRawBytesPerLine <= length - 1; first += kRawBytesPerLine) {
    char head[32];
    std::snprintf(head, sizeof head, "$%04llX: ", static_cast<unsigned long long>(first));
    std::string line = head;
    for (int64_t i = first; i < first + kRawBytesPerLine; ++i) {
      line += HexByte(p.ReplyData[static_cast<size_t>(i)]) + " ";
    }
    for (int64_t k = first; k < first + kRawBytesPerLine && k < length - 1; ++k) {
      if (p.ReplyData[static_cast<size_t>(k)] != kSyncByte ||
          p.ReplyData[static_cast<size_t>(k + 1)] != kHeaderFirstGcrByte) {
        continue;
      }
      p.GcrReadPos = k + 1;
      GcrDecode(p, 4);
      line += "> T: " + TwoDigits(p.PlainBuffer[3]) + "; S: " + TwoDigits(p.PlainBuffer[2]);
      break;
    }
    pane += line + "\n";
  }
  p.desk.AppendGcrPaneText(pane);
}

void ReportCapacityAndZone(Program& p, const TrackRecord& record) {
  const TrackStatsRecord& stats = p.TrackStats;
  LogLine(p, "Nominal track capacity: " +
                 std::to_string(NominalTrackCapacity(stats.bitrateZone, 300.0f)) + " @ 300.0 RPM");
  LogLine(p, "Actual  track capacity: " + std::to_string(stats.byteCapacity));
  ShowRawTrack(p);
  if ((stats.bitrateZone << 5) != record.zoneBits) {
    LogLine(p, "Bitrate zone (BRZ) mismatch!");
    LogLine(p, "Nominal BRZ: " + std::to_string(record.zoneBits >> 5));
    LogLine(p, "Track   BRZ: " + std::to_string(stats.bitrateZone));
  }
}

struct TrackAnswer {
  std::string text;
  int64_t track = 0;  // 0: the answer names none (no digits, or 0)
};

// The answer typed, or nothing when the requester was cancelled. Sets FortyTracks when the
// answer asks for a physical track.
std::optional<TrackAnswer> AskForTrack(Program& p) {
  std::optional<std::string> answer =
      p.desk.AskText({"Diskwright", "Read track #; (append 'p' for physical; e.g. 36p)", "18"});
  if (!answer) return std::nullopt;
  if (answer->find_first_of("pP") != std::string::npos) p.FortyTracks = true;
  return TrackAnswer{*answer, LeadingNumber(*answer)};
}

// A dump that reads nothing has not done what was asked: told, and the command ends aborted.
void RefuseTrack(Program& p, const std::string& why, int trackCount) {
  LogLine(p, why + " (tracks 1 to " + std::to_string(trackCount) + "); nothing read");
  p.LinkState |= kLinkIecError;
}

void DumpChosenTrack(Program& p, const TrackAnswer& answer) {
  // The layout the read will use; a 1571 always gets both sides.
  const int trackCount = SelectGeometry(p, true);
  if (answer.track == 0) {
    RefuseTrack(p, "No track number in \"" + answer.text + "\"", trackCount);
    return;
  }
  if (answer.track < 1 || answer.track > trackCount) {
    RefuseTrack(p, "Track " + std::to_string(answer.track) + " is not on the disk layout",
                trackCount);
    return;
  }
  const int t = static_cast<int>(answer.track);
  LogLine(p, "Reading sectors on track " + TwoDigits(t));
  DetectDiskFormat(p, true);
  if (t > p.TracksPerSide) ReachSecondSide(p, "Track " + TwoDigits(t) + " lies on the second side");
  StartSectorTransfer(p, kCodeTrackRead, true);
  if (p.LinkState != 0) return;
  StartDiskMap(p, SelectGeometry(p, true));
  ReadTrack(p, t);
  // A read that did not come back leaves an old reply behind, not this track.
  if (p.LinkState != 0) return;
  LogLine(p, std::string());
  p.desk.ClearGcrPane();
  LogSectors(p, t);
  ReportCapacityAndZone(p, p.TrackTable[static_cast<size_t>(t)]);
  p.FortyTracks = false;
  ReadErrorChannel(p);
}

}  // namespace

void DumpTrack(Program& p) {
  if (p.DriveFamily == kFamily1581) {
    LogLine(p, "NOT APPLICABLE TO 1581");
    return;
  }
  if (p.DriveFamily == kFamily1541 && !RequireFastSerialDriver(p)) return;
  // A drive of no known family gets no read code, so there would be no track to show.
  if (p.DriveFamily == kFamilyUnknown) {
    ReadErrorChannel(p);
    return;
  }
  p.FortyTracks = false;
  p.desk.ClearGcrPane();
  if (const std::optional<TrackAnswer> answer = AskForTrack(p)) DumpChosenTrack(p, *answer);
  p.FortyTracks = false;
}

}  // namespace dw
