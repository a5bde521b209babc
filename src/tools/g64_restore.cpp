#include "tools/g64_restore.h"

// A G64 file holds the raw GCR bytes of each track of a disk (all numbers little-endian):
//
//   0      8 bytes        "GCR-1541"
//   8      1 byte         version
//   9      1 byte         N, the number of half-track entries (84 at most)
//   10     2 bytes        largest track size
//   12     N x 4 bytes    file offset of each half-track (entry 0 track 1, entry 1 track 1.5,
//                         ...), 0 when the track is not in the file
//   12+4N  N x 4 bytes    speed of each half-track: the bit-rate zone 0..3, or the file offset
//                         of a speed map that gives each sector a zone of its own
//   offset 2 bytes        track length, then the track's raw GCR bytes
//
// Only the whole tracks 1 to 40 are written; half-tracks are passed over.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "core/image_file.h"
#include "core/job_codes.h"
#include "core/log.h"
#include "disk/build_track.h"
#include "disk/geometry.h"
#include "disk/read_track.h"
#include "disk/track_fit.h"
#include "disk/write_check.h"
#include "disk/write_preparation.h"
#include "disk/write_verify.h"
#include "gcr/zones.h"
#include "link/detect.h"
#include "link/drive_job.h"
#include "link/exchange.h"
#include "link/status_text.h"
#include "platform/pc_file.h"
#include "tools/g64_track_fit.h"

namespace dw {

namespace {

constexpr char kSignature[] = "GCR-1541";
constexpr size_t kSignatureLength = 8;
constexpr int kHeaderLength = 12;
constexpr int kMaxEntries = 84;
constexpr int kTracksWritten = 40;
constexpr int kPageBytes = 256;
constexpr int kUploadHeaderLength = 3;
constexpr uint32_t kHighestZone = 3;
// The tracks whose standard sectors the drive's turn must hold with the shortest gaps.
constexpr int kLastStandardTrack = 35;
// Bytes a write may run over its own start: a track begins with gap bytes ahead of its first
// sync, or with that sync, of which two bytes (16 one bits) still make a mark.
constexpr int kOverrunSlack = 3;

struct G64Header {
  uint8_t version = 0;
  uint8_t entryCount = 0;
  uint16_t maxTrackSize = 0;
  std::vector<uint32_t> offsets;
  std::vector<uint32_t> speeds;
};

uint32_t LittleEndian(const std::vector<uint8_t>& bytes, size_t at, size_t size) {
  uint32_t value = 0;
  for (size_t i = size; i-- > 0;) value = (value << 8) | bytes[at + i];
  return value;
}

// The header and both tables, read by the entry count the file gives; nothing when the file is
// no G64 image or its tables do not fit in it.
std::optional<G64Header> ReadG64Header(PcFile& file) {
  std::vector<uint8_t> head(kHeaderLength);
  if (file.Read(head) != head.size()) return std::nullopt;
  if (!std::equal(head.begin(), head.begin() + kSignatureLength, kSignature)) return std::nullopt;
  G64Header header;
  header.version = head[8];
  header.entryCount = head[9];
  header.maxTrackSize = static_cast<uint16_t>(LittleEndian(head, 10, 2));
  if (header.entryCount > kMaxEntries) return std::nullopt;
  std::vector<uint8_t> tables(size_t{header.entryCount} * 8);
  if (file.Read(tables) != tables.size()) return std::nullopt;
  for (size_t entry = 0; entry < header.entryCount; ++entry) {
    header.offsets.push_back(LittleEndian(tables, entry * 4, 4));
    header.speeds.push_back(LittleEndian(tables, (header.entryCount + entry) * 4, 4));
  }
  return header;
}

// Whether the image holds any of the whole tracks the restore writes.
bool HasAWholeTrack(const G64Header& header) {
  for (size_t entry = 0; entry < header.offsets.size() && entry < size_t{2} * kTracksWritten;
       entry += 2) {
    if (header.offsets[entry] != 0) return true;
  }
  return false;
}

std::string Formatted(const char* format, auto... values) {
  char text[96];
  std::snprintf(text, sizeof text, format, values...);
  return text;
}

uint32_t FilePosition(const PcFile& file) {
  const long position = std::ftell(file.get());
  return position < 0 ? 0 : static_cast<uint32_t>(position);
}

void LogNotRestored(Program& p, int track, const std::string& why) {
  LogLine(p, Formatted("%02d", track) + "  not restored; " + why);
}

void LogColumnHeader(Program& p) {
  const std::string header = Formatted("track%8s%6s%8s%5s%12s%12s", "offset", "cap", "RPM", "BR",
                                       "drive cap", "drive RPM");
  LogLine(p, header);
  LogLine(p, std::string(header.size(), '='));
}

// A track's first writeLength bytes into GcrOutBuffer. Reading stops at a $00 byte, which the
// drive code would take as the end of the data, and at the end of the file.
enum class TrackRead { kComplete, kZeroByte, kFileEnd };
TrackRead ReadTrackBytes(Program& p, PcFile& file, int writeLength) {
  for (int i = 0; i < writeLength; ++i) {
    const int byte = std::fgetc(file.get());
    if (byte == EOF) return TrackRead::kFileEnd;
    if (byte == 0) return TrackRead::kZeroByte;
    p.GcrOutBuffer[static_cast<size_t>(i)] = static_cast<uint8_t>(byte);
  }
  return TrackRead::kComplete;
}

// A track as the G64 gave it to the drive, kept for the verify after writing.
struct RawWrittenTrack {
  int track = 0;
  int density = 0;
  std::vector<uint8_t> bytes;
};

// The sectors of each track as written are the G64's bytes decoded as a read of the disk would
// decode them (the track taken as the ring it is on the disk): a sector the G64 holds damaged
// is written damaged and must read back with the same code. Decoded with the disk's ID as the
// DOS found it after the restore, as the read-back is.
std::vector<WrittenTrack> SectorsAsWritten(Program& p, const std::vector<RawWrittenTrack>& raw) {
  std::vector<WrittenTrack> tracks;
  BuildTrackTable(p);
  for (const RawWrittenTrack& written : raw) {
    p.ReplyData = written.bytes;
    p.ReplyData.insert(p.ReplyData.end(), written.bytes.begin(), written.bytes.end());
    WrittenTrack sectors{written.track, written.density, DecodeGcrSectors(p, written.track), {}};
    const auto place =
        p.ImageBuffer.begin() + p.TrackTable[static_cast<size_t>(written.track)].imageOffset;
    sectors.data.assign(place, place + std::ssize(sectors.codes) * kSectorBytes);
    tracks.push_back(std::move(sectors));
  }
  return tracks;
}

// Writes the track's bytes and checks that the disk took them; false when it did not.
bool WriteTrack(Program& p, int track, int zone, int writeLength,
                std::vector<RawWrittenTrack>* kept) {
  const TrackHeaders expected = HeadersOfRawTrack(
      p, std::span<const uint8_t>(p.GcrOutBuffer).first(static_cast<size_t>(writeLength)));
  // The drive code writes up to the $00 that closes the track.
  p.GcrOutBuffer[static_cast<size_t>(writeLength)] = 0x00;
  UploadBuiltTrack(p, writeLength + 1);
  ShowStatusText(p, "Writing Track: " + std::to_string(track));
  ShowProgress(p, track, 1, kTracksWritten);
  const int density = ZoneBits(zone) | 0x80;
  const uint8_t reply = DriveJob(p, 6, 2, track, density, 0);
  if (!TrackWriteTook(p, track, reply, expected)) return false;
  if (kept != nullptr) {
    kept->push_back(
        {track, density, {p.GcrOutBuffer.begin(), p.GcrOutBuffer.begin() + writeLength}});
  }
  return true;
}

// false when a track did not take its write: the restore stops there.
bool RestoreTrack(Program& p, PcFile& file, const G64Header& header, int track, float driveRpm,
                  std::vector<RawWrittenTrack>* kept) {
  const size_t entry = static_cast<size_t>(track - 1) * 2;
  const uint32_t offset = entry < header.offsets.size() ? header.offsets[entry] : 0;
  const uint32_t speed = entry < header.speeds.size() ? header.speeds[entry] : 0;
  const std::string zeroFound = "'00'-byte found @file: $";
  if (offset == 0) {
    LogNotRestored(p, track, "no such track in the image");
    return true;
  }
  // A speed map gives each sector its own zone; one track is written at one rate.
  if (speed > kHighestZone) {
    LogNotRestored(p, track, "speed entry $" + UpperHex(speed) + " is a speed map, not a zone");
    return true;
  }
  std::vector<uint8_t> lengthBytes(2);
  if (!SeekImageFile(p, file.get(), static_cast<int32_t>(std::min<uint32_t>(offset, INT32_MAX)),
                     false) ||
      file.Read(lengthBytes) != lengthBytes.size()) {
    LogNotRestored(p, track, "track beyond the end of the file");
    return true;
  }
  const int zone = static_cast<int>(speed);
  const int trackLength = static_cast<int>(LittleEndian(lengthBytes, 0, 2));
  if (trackLength == 0) {
    LogNotRestored(p, track, zeroFound + UpperHex(FilePosition(file)));
    return true;
  }
  const int turnLength = NominalTrackCapacity(zone, driveRpm);
  const int readLength = std::min(trackLength, static_cast<int>(std::ssize(p.GcrOutBuffer)) - 1);
  switch (ReadTrackBytes(p, file, readLength)) {
    case TrackRead::kZeroByte:
      LogNotRestored(p, track, zeroFound + UpperHex(FilePosition(file)));
      return true;
    case TrackRead::kFileEnd:
      LogNotRestored(p, track, "track beyond the end of the file");
      return true;
    case TrackRead::kComplete:
      break;
  }
  // A track longer than the turn gives up gap bytes to fit the turn less the drive's drift; what
  // still does not fit is cut.
  int writeLength = readLength;
  if (writeLength > turnLength + kOverrunSlack) {
    writeLength = ShortenTrack(p.GcrOutBuffer, writeLength,
                               static_cast<int>(turnLength * (1.0 - kWriteDrift)));
  }
  writeLength = std::min(writeLength, turnLength + kOverrunSlack);
  const int pages = (writeLength + 1) / kPageBytes + 1;
  if (pages * kPageBytes + kUploadHeaderLength > std::ssize(p.CommandPacket)) {
    LogNotRestored(p, track, std::to_string(writeLength) + " bytes do not fit the transfer");
    return true;
  }
  const float trackRpm =
      4000000.0f / static_cast<float>(16 - zone) / 8 * 60 / static_cast<float>(trackLength);
  LogLine(p, Formatted("%02d     %06X%6X%8.1f%5d%12X%12.1f", track, offset, trackLength,
                       static_cast<double>(trackRpm), zone, writeLength,
                       static_cast<double>(driveRpm)));
  return WriteTrack(p, track, zone, writeLength, kept);
}

}  // namespace

void RestoreG64Image(Program& p, const std::string& path) {
  PcFile file = PcFile::OpenForReading(path);
  if (!file.IsOpen()) {
    ShowInfoBox(p, "Error: Can't read from file " + path);
    return;
  }
  DetectDiskFormat(p, true);
  StartSectorTransfer(p, kCodeTrackWrite, true);
  if (DiskWriteProtected(p)) {
    LogLine(p, StatusText(p, kJobWriteProtected, kJobCodeKind));
    // Nothing was restored: the command must not end as if it had been.
    p.LinkState |= kLinkIecError;
    return;
  }
  // Without an answer the port byte says nothing about the disk.
  if (p.LinkState != 0) return;
  const std::optional<G64Header> header = ReadG64Header(file);
  if (!header || !HasAWholeTrack(*header)) {
    LogLine(p, "G64 image not valid");
    // Nothing was restored: the command must not end as if it had been.
    p.LinkState |= kLinkIecError;
    return;
  }
  // Each track goes down in one turn of this drive, whatever drive's turn it was read from.
  BuildTrackTable(p);
  const std::optional<RevolutionWindow> turn = PrepareTrackWrites(p, kLastStandardTrack);
  if (!turn) return;
  const float driveRpm = 60000000.0f / static_cast<float>(turn->shortestUs);
  LogLine(p, "Restoring file: \"" + FilePart(path) + "\"");
  LogLine(p, "G64 version: " + std::to_string(header->version));
  LogLine(p, "G64 tracks: " + std::to_string(header->entryCount));
  LogLine(p, "G64 track size max.: $" + UpperHex(header->maxTrackSize));
  const bool verify = VerifyAfterWritingOn(p);
  std::vector<RawWrittenTrack> kept;
  LogColumnHeader(p);
  // After a timeout or RESET no track goes down any more: none may be listed as written.
  for (int track = 1; track <= kTracksWritten && p.LinkState == 0; ++track) {
    if (!RestoreTrack(p, file, *header, track, driveRpm, verify ? &kept : nullptr)) return;
  }
  file.Close();
  if (p.LinkState == 0) DetectDiskFormat(p, true);
  if (verify && p.LinkState == 0) VerifyWrittenTracks(p, SectorsAsWritten(p, kept));
}

}  // namespace dw
