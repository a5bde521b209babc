#include "tools/g64_file.h"

// The layout (all numbers little-endian):
//
//   0      8 bytes        "GCR-1541"
//   8      1 byte         version, 0
//   9      1 byte         84 half-track entries: tracks 1, 1.5, 2, ..., 42.5
//   10     2 bytes        the largest track size
//   12     84 x 4 bytes   file offset of each half-track's record, 0 for none
//   348    84 x 4 bytes   the speed zone of each half-track
//   684    records        per track: 2 bytes length, the bytes, zeros up to the largest size

#include <algorithm>
#include <array>
#include <string_view>

#include "gcr/zones.h"

namespace dw {

namespace {

constexpr std::string_view kSignature = "GCR-1541";
constexpr size_t kEntries = 84;
constexpr size_t kOffsetTable = 12;
constexpr size_t kSpeedTable = kOffsetTable + 4 * kEntries;
constexpr size_t kFirstRecord = kSpeedTable + 4 * kEntries;
static_assert(kFirstRecord == 0x2AC);

void PutLittle(std::vector<uint8_t>& bytes, size_t at, uint32_t value, int size) {
  for (int i = 0; i < size; ++i) {
    bytes[at + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
  }
}

// The zone a track of this number has on a standard disk; half-tracks take their track's.
int StandardZone(size_t entry) {
  const int row = ZoneRowIndex(static_cast<int>(entry / 2) + 1);
  return row < 0 ? 0 : kZoneTable[static_cast<size_t>(row)].zone;
}

}  // namespace

std::vector<uint8_t> G64FileBytes(const std::map<int, G64Track>& tracks) {
  size_t largest = kG64StandardTrackSize;
  for (const auto& [number, track] : tracks) largest = std::max(largest, track.bytes.size());
  std::vector<uint8_t> file(kFirstRecord, 0);
  std::copy(kSignature.begin(), kSignature.end(), file.begin());
  file[9] = static_cast<uint8_t>(kEntries);
  PutLittle(file, 10, static_cast<uint32_t>(largest), 2);
  for (size_t entry = 0; entry < kEntries; ++entry) {
    PutLittle(file, kSpeedTable + 4 * entry, static_cast<uint32_t>(StandardZone(entry)), 4);
  }
  for (const auto& [number, track] : tracks) {
    const size_t entry = static_cast<size_t>(number - 1) * 2;
    if (number < 1 || entry >= kEntries) continue;
    const size_t record = file.size();
    PutLittle(file, kOffsetTable + 4 * entry, static_cast<uint32_t>(record), 4);
    PutLittle(file, kSpeedTable + 4 * entry, static_cast<uint32_t>(track.zone), 4);
    file.resize(record + 2 + largest, 0);
    PutLittle(file, record, static_cast<uint32_t>(track.bytes.size()), 2);
    std::copy(track.bytes.begin(), track.bytes.end(),
              file.begin() + static_cast<ptrdiff_t>(record + 2));
  }
  return file;
}

}  // namespace dw
