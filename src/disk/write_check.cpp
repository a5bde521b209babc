#include "disk/write_check.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>
#include <string>

#include "core/job_codes.h"
#include "core/log.h"
#include "gcr/codec.h"
#include "gcr/gcr_group.h"
#include "link/controller_job.h"
#include "link/drive_job.h"
#include "link/status_text.h"

namespace dw {

namespace {

constexpr uint8_t kSyncByte = 0xFF;
constexpr int kHeaderGcrBytes = 10;
// The DOS's controller reaches tracks 1-35 of a side; a double-sided 1571 disk's second side
// answers to 36-70.
constexpr int kDosTracksPerSide = 35;
// A seek meets a header within a revolution; without a disk it gives up after about 20 ms.
constexpr int64_t kSeekLimitUs = 2'000'000;

std::string IdText(uint8_t id1, uint8_t id2) {
  std::string text;
  for (uint8_t c : {id1, id2}) {
    if (c >= 0x20 && c < 0x7F) {
      text += static_cast<char>(c);
    } else {
      char hex[4];
      std::snprintf(hex, sizeof hex, "$%02X", c);
      text += hex;
    }
  }
  return text;
}

bool Carries(const TrackHeaders& expected, const HeaderRead& header) {
  return std::any_of(expected.readable.begin(), expected.readable.end(), [&](const auto& h) {
    return h.track == header.track && h.id1 == header.id1 && h.id2 == header.id2;
  });
}

// Whether a seek result other than a good header fits the track: a bad header checksum where
// one was written, sync marks without headers, or no sync at all.
bool FitsWithoutHeader(const TrackHeaders& expected, uint8_t result) {
  switch (result) {
    case kJobHeaderChecksum:
      return expected.badChecksum;
    case kJobHeaderNotFound:
      return expected.sync && expected.readable.empty() && !expected.badChecksum;
    case kJobNoSync:
      return !expected.sync;
    default:
      return false;
  }
}

bool NotWritten(Program& p, int track, const std::string& why) {
  LogLine(p, "Track " + std::to_string(track) + " not written: " + why);
  p.LinkState |= kLinkIecError;
  return false;
}

}  // namespace

TrackHeaders HeadersOfBuiltTrack(const Program& p, int track, const std::vector<uint8_t>& codes) {
  TrackHeaders headers;
  const auto number = static_cast<uint8_t>(track);
  for (uint8_t code : codes) {
    if (code == kJobNoSync) continue;
    headers.sync = true;
    if (code == kJobHeaderNotFound) continue;
    if (code == kJobHeaderChecksum) {
      headers.badChecksum = true;
    } else if (code == kJobDiskIdMismatch) {
      headers.readable.push_back({number, static_cast<uint8_t>(p.DiskId[1] + 1), p.DiskId[2]});
    } else {
      headers.readable.push_back({number, p.DiskId[1], p.DiskId[2]});
    }
  }
  return headers;
}

TrackHeaders HeadersOfRawTrack(const Program& p, std::span<const uint8_t> bytes) {
  TrackHeaders headers;
  const size_t size = bytes.size();
  for (size_t at = 0; at < size; ++at) {
    if (bytes[(at + size - 1) % size] != kSyncByte || bytes[at] == kSyncByte) continue;
    headers.sync = true;
    std::array<uint8_t, kHeaderGcrBytes> gcr{};
    for (size_t i = 0; i < gcr.size(); ++i) gcr[i] = bytes[(at + i) % size];
    const auto first = DecodeGcrGroup(std::span(gcr).first<kGcrGroupBytes>(), p.GcrDecodeTable);
    const auto second = DecodeGcrGroup(std::span(gcr).last<kGcrGroupBytes>(), p.GcrDecodeTable);
    if (first[0] != kGcrHeaderBlockId) continue;
    // Checksum, sector, track, ID2, ID1: the checksum is the XOR of the other four.
    if ((first[1] ^ first[2] ^ first[3] ^ second[0] ^ second[1]) != 0) {
      headers.badChecksum = true;
    } else {
      headers.readable.push_back({first[3], second[1], second[0]});
    }
  }
  return headers;
}

bool TrackWriteTook(Program& p, int track, uint8_t reply, const TrackHeaders& expected,
                    bool doubleSided) {
  // A link that failed has said so already.
  if (p.LinkState != 0) return false;
  if (reply != kJobGood) return NotWritten(p, track, StatusText(p, reply, kJobCodeKind));
  // The write-protect sensor also cuts the write current: a tab put on during the write stopped
  // it part-way, though the drive code, which looked before it began, answers it as done.
  if (DiskWriteProtected(p)) {
    return NotWritten(p, track, StatusText(p, kJobWriteProtected, kJobCodeKind));
  }
  if (p.LinkState != 0) return false;
  if (track > kDosTracksPerSide && !doubleSided) return true;
  const std::optional<uint8_t> result =
      RunControllerJob(p, kControllerSeekJob, track, kSeekLimitUs);
  if (p.LinkState != 0) return false;
  if (!result) return NotWritten(p, track, "the drive did not finish reading it back");
  if (*result == kJobGood) {
    const HeaderRead header = LastHeaderRead(p);
    if (p.LinkState != 0) return false;
    if (Carries(expected, header)) return true;
    return NotWritten(p, track,
                      "the drive reads back a header of track " + std::to_string(header.track) +
                          " with the ID \"" + IdText(header.id1, header.id2) + "\"");
  }
  if (FitsWithoutHeader(expected, *result)) return true;
  return NotWritten(p, track, "the drive reads back " + StatusText(p, *result, kJobCodeKind));
}

}  // namespace dw
