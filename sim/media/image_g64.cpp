// G64: raw GCR tracks. All numbers little-endian.
//   $0000  8  "GCR-1541" ("GCR-1571": double-sided, entries 84.. for the second side)
//   $0008  1  version, $00
//   $0009  1  number of half-track entries n (84 normally; fewer exist)
//   $000A  2  maximum track size (7928)
//   $000C  4n file offset of each half-track record; 0 = nothing recorded
//   ...    4n speed entry per half track: density code 0-3, or the offset of a speed-zone block
//   record: 2-byte length, then the GCR bytes.
// Half tracks are ignored. A speed-zone block gives a density per byte; the track here keeps the
// standard density of its track number instead.

#include <algorithm>
#include <cstring>

#include "sim/media/gcr_disk.h"
#include "sim/media/geometry.h"
#include "sim/media/images.h"

namespace sim {
namespace {

constexpr char kSignature1541[] = "GCR-1541";
constexpr char kSignature1571[] = "GCR-1571";
constexpr size_t kSignatureLength = 8;
constexpr size_t kHeaderSize = 12;
constexpr int kEntriesPerSide = 84;
constexpr size_t kStandardMaxTrackSize = 7928;
constexpr uint32_t kHighestDensityCode = 3;

uint32_t Little(std::span<const uint8_t> bytes, size_t offset, int count) {
  uint32_t value = 0;
  for (int i = count - 1; i >= 0; --i)
    value = (value << 8) | bytes[offset + static_cast<size_t>(i)];
  return value;
}

void PutLittle(std::vector<uint8_t>& bytes, size_t offset, uint32_t value, int count) {
  for (int i = 0; i < count; ++i)
    bytes[offset + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
}

bool Fail(std::string* error, const std::string& text) {
  if (error) *error = text;
  return false;
}

int TracksPerSideFor(int highestTrack) {
  if (highestTrack <= 35) return 35;
  if (highestTrack <= 40) return 40;
  return kGcrMaxTrack;
}

}  // namespace

std::unique_ptr<GcrDisk> GcrDiskFromG64(std::span<const uint8_t> image, std::string* error) {
  if (image.size() < kHeaderSize) {
    Fail(error, "not a G64 image: only " + std::to_string(image.size()) + " bytes");
    return nullptr;
  }
  const bool is1571 = std::memcmp(image.data(), kSignature1571, kSignatureLength) == 0;
  if (!is1571 && std::memcmp(image.data(), kSignature1541, kSignatureLength) != 0) {
    Fail(error, "not a G64 image: it does not start with \"GCR-1541\"");
    return nullptr;
  }
  const size_t entries = image[9];
  const size_t speedTable = kHeaderSize + 4 * entries;
  if (image.size() < speedTable + 4 * entries) {
    Fail(error, "G64 image cut short: its track tables need " +
                    std::to_string(speedTable + 4 * entries) + " bytes, the file has " +
                    std::to_string(image.size()));
    return nullptr;
  }
  auto disk = std::make_unique<GcrDisk>();
  std::array<int, 2> highest = {0, 0};
  for (size_t entry = 0; entry < entries; entry += 2) {
    const int side = is1571 && entry >= kEntriesPerSide ? 1 : 0;
    const int track =
        static_cast<int>((entry - static_cast<size_t>(side * kEntriesPerSide)) / 2) + 1;
    // Counted in size_t: an offset near 4 GB must not wrap around past the checks below.
    const size_t offset = Little(image, kHeaderSize + 4 * entry, 4);
    if (offset == 0 || track > kGcrMaxTrack) continue;
    const std::string where = "G64 track " + std::to_string(GcrDisk::HeaderTrack(side, track));
    if (offset + 2 > image.size()) {
      Fail(error, where + ": its record at offset " + std::to_string(offset) +
                      " lies beyond the end of the file");
      return nullptr;
    }
    const size_t length = Little(image, offset, 2);
    if (offset + 2 + length > image.size()) {
      Fail(error, where + ": " + std::to_string(length) + " bytes at offset " +
                      std::to_string(offset) + " run past the end of the file");
      return nullptr;
    }
    if (length == 0) continue;
    const uint32_t speed = Little(image, speedTable + 4 * entry, 4);
    const int density =
        speed <= kHighestDensityCode ? static_cast<int>(speed) : GcrDensityOfTrack(track);
    const auto begin = image.begin() + static_cast<std::ptrdiff_t>(offset + 2);
    disk->SetRawTrack(side, track, std::vector<uint8_t>(begin, begin + length), density);
    highest[static_cast<size_t>(side)] = std::max(highest[static_cast<size_t>(side)], track);
  }
  disk->setTracksPerSide(TracksPerSideFor(highest[0]));
  disk->SetDoubleSided(highest[1] > 0);
  DiskId id = {0, 0};
  if (PrevailingGcrHeaderId(disk->RawTrack(kGcrDirTrack), id) == kJobOk) disk->setId(id);
  return disk;
}

std::vector<uint8_t> G64FromDisk(const GcrDisk& disk) {
  const int sides = disk.IsDoubleSided() ? 2 : 1;
  const size_t entries = static_cast<size_t>(kEntriesPerSide * sides);
  size_t maxTrackSize = kStandardMaxTrackSize;
  for (int side = 0; side < sides; ++side) {
    for (int t = 1; t <= kGcrMaxTrack; ++t) {
      const GcrDisk::Track& track = disk.TrackOnSide(side, t);
      if (track.present) maxTrackSize = std::max(maxTrackSize, track.bytes.size());
    }
  }
  std::vector<uint8_t> image(kHeaderSize + 8 * entries);
  std::memcpy(image.data(), sides == 2 ? kSignature1571 : kSignature1541, kSignatureLength);
  image[9] = static_cast<uint8_t>(entries);
  PutLittle(image, 10, static_cast<uint32_t>(maxTrackSize), 2);
  const size_t speedTable = kHeaderSize + 4 * entries;
  for (int side = 0; side < sides; ++side) {
    for (int t = 1; t <= kGcrMaxTrack; ++t) {
      const GcrDisk::Track& track = disk.TrackOnSide(side, t);
      if (!track.present) continue;
      const size_t entry = static_cast<size_t>(side * kEntriesPerSide + 2 * (t - 1));
      PutLittle(image, kHeaderSize + 4 * entry, static_cast<uint32_t>(image.size()), 4);
      PutLittle(image, speedTable + 4 * entry, static_cast<uint32_t>(track.density), 4);
      const size_t record = image.size();
      image.resize(record + 2 + maxTrackSize);
      PutLittle(image, record, static_cast<uint32_t>(track.bytes.size()), 2);
      std::copy(track.bytes.begin(), track.bytes.end(),
                image.begin() + static_cast<std::ptrdiff_t>(record + 2));
    }
  }
  return image;
}

}  // namespace sim
