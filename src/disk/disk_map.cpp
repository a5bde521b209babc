#include "disk/disk_map.h"

#include "link/status_text.h"

namespace dw {

namespace {

constexpr uint8_t kOtherFormat = 0x80;

}  // namespace

void StartDiskMap(Program& p, int trackCount) {
  DiskMapLayout layout;
  for (int track = 1; track <= trackCount && track < kTrackTableSize; ++track) {
    layout.sectorsPerTrack.push_back(p.TrackTable[static_cast<size_t>(track)].sectorCount);
  }
  for (uint8_t code = kMapGood; code <= 0x0F; ++code) {
    layout.codeTexts[code] = StatusText(p, code, kJobCodeKind);
  }
  layout.codeTexts[kOtherFormat] = StatusText(p, kOtherFormat, kJobCodeKind);
  p.desk.StartDiskMap(layout);
}

void ShowTrackOnMap(Program& p, int track, const std::vector<uint8_t>& cells) {
  p.desk.ShowTrackOnMap(track, cells);
}

std::vector<uint8_t> SameCells(int count, uint8_t cell) {
  return std::vector<uint8_t>(static_cast<size_t>(count > 0 ? count : 0), cell);
}

uint8_t MapCell(uint8_t code) {
  if ((code & kOtherFormat) != 0) return kOtherFormat;
  const uint8_t low = code & 0x0F;
  return low <= kMapGood ? kMapGood : low;
}

}  // namespace dw
