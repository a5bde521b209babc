#pragma once
// The image layouts the program knows, as data. A D64 or D71 file is the 256-byte sectors
// in track order (for a D71 all of side 1, then side 2), optionally followed by one error
// byte per sector in the same order; a D81 is 80 tracks of 40 sectors and carries no error
// bytes. Every size and offset is derived here from the zone table of the GCR tracks.
//
// Layout of one GCR sector on the disk, as the program writes it:
//   header sync  5 x $FF
//   header       10 GCR bytes: $08, checksum, sector, track, ID2, ID1, $0F, $0F
//   header gap   9 x $55
//   data sync    6 x $FF (one byte longer than the header sync)
//   data block   325 GCR bytes: $07, 256 data bytes, checksum, $00, $00
//   tail gap     $55 bytes, length by zone

#include <array>
#include <cstddef>
#include <cstdint>

#include "core/track_record.h"
#include "gcr/codec.h"
#include "gcr/zones.h"

namespace dw {

inline constexpr int32_t kSectorBytes = 256;
inline constexpr int kMaxTrack = 80;
inline constexpr int32_t k1581SectorsPerTrack = 40;

enum ImageLayoutId : uint8_t {
  kLayoutD64 = 0,
  kLayoutD64Forty = 1,
  kLayoutD71 = 2,
  kLayoutD81 = 3,
};

struct ImageLayout {
  uint8_t trackCount;
  uint8_t tracksPerSide;
  bool zoned;       // GCR tracks with sectors by zone; otherwise 40 sectors on every track
  bool errorBytes;  // the file may carry one error byte per sector
};

inline constexpr std::array<ImageLayout, 4> kImageLayouts{{
    {35, 35, true, true},    // D64
    {40, 40, true, true},    // D64 with tracks 36-40
    {70, 35, true, true},    // D71: side 1 tracks 1-35, side 2 tracks 36-70
    {80, 80, false, false},  // D81
}};

constexpr const ImageLayout& Layout(ImageLayoutId id) {
  return kImageLayouts[id];
}

// Sectors on tracks 1..tracksOnSide of one GCR side.
constexpr int32_t SideSectorCount(int tracksOnSide) {
  int32_t sectors = 0;
  for (int t = 1; t <= tracksOnSide; ++t) {
    const int row = ZoneRowIndex(t);
    if (row >= 0) sectors += kZoneTable[static_cast<size_t>(row)].sectorCount;
  }
  return sectors;
}

// Offset on its side of the first track of a zone row.
constexpr int32_t ZoneRowSideOffset(int row) {
  int32_t offset = 0;
  for (int r = 0; r < row; ++r) {
    const ZoneRow& z = kZoneTable[static_cast<size_t>(r)];
    offset += (z.lastTrack - z.firstTrack + 1) * z.sectorCount * kSectorBytes;
  }
  return offset;
}

// Offset on its side of a GCR track; -1 for a track no zone row holds.
constexpr int32_t TrackSideOffset(int trackOnSide) {
  const int row = ZoneRowIndex(trackOnSide);
  if (row < 0) return -1;
  const ZoneRow& z = kZoneTable[static_cast<size_t>(row)];
  return ZoneRowSideOffset(row) + (trackOnSide - z.firstTrack) * z.sectorCount * kSectorBytes;
}

constexpr int32_t LayoutSectorCount(const ImageLayout& layout) {
  if (!layout.zoned) return layout.trackCount * k1581SectorsPerTrack;
  return layout.trackCount / layout.tracksPerSide * SideSectorCount(layout.tracksPerSide);
}

constexpr int32_t LayoutDataSize(const ImageLayout& layout) {
  return LayoutSectorCount(layout) * kSectorBytes;
}

constexpr int32_t LayoutFileSize(const ImageLayout& layout, bool withErrorBytes) {
  return LayoutDataSize(layout) +
         (withErrorBytes && layout.errorBytes ? LayoutSectorCount(layout) : 0);
}

// The second side of a D71 follows a whole single-sided image.
inline constexpr int kTracksOnFirstSide = Layout(kLayoutD71).tracksPerSide;
inline constexpr int32_t kSecondSideBase = LayoutDataSize(Layout(kLayoutD64));
inline constexpr int32_t k1581TrackBytes = k1581SectorsPerTrack * kSectorBytes;

static_assert(LayoutDataSize(Layout(kLayoutD64)) == 174848);
static_assert(LayoutDataSize(Layout(kLayoutD64Forty)) == 196608);
static_assert(LayoutDataSize(Layout(kLayoutD71)) == 349696);
static_assert(LayoutDataSize(Layout(kLayoutD81)) == 819200);
static_assert(LayoutFileSize(Layout(kLayoutD64), true) == 175531);
static_assert(LayoutFileSize(Layout(kLayoutD64Forty), true) == 197376);
static_assert(LayoutFileSize(Layout(kLayoutD71), true) == 351062);
static_assert(LayoutFileSize(Layout(kLayoutD81), true) == 819200);
static_assert(TrackSideOffset(18) == 91392, "the BAM track starts at $16500");

// The fields every GCR track shares; BuildTrackTable copies them into each record.
inline constexpr TrackRecord kGcrTrackLayout = [] {
  TrackRecord r;
  r.headerBlockId = kGcrHeaderBlockId;
  r.dataBlockId = kGcrDataBlockId;
  r.dataSyncLength = 5;
  r.headerFill[0] = 0x0F;
  r.headerFill[1] = 0x0F;
  r.headerGapByte = 0x55;
  r.headerGapLength = 9;
  r.headerSyncLength = 5;
  r.tailGapByte = 0x55;
  r.formatType = 0x41;  // 'A'
  return r;
}();

inline constexpr int32_t kHeaderBlockGcrBytes = 10;
inline constexpr int32_t kDataBlockGcrBytes = 325;

// GCR bytes of one sector as the program writes it, in a zone row.
constexpr int32_t WrittenSectorBytes(const ZoneRow& zone) {
  return kGcrTrackLayout.headerSyncLength + kHeaderBlockGcrBytes + kGcrTrackLayout.headerGapLength +
         kGcrTrackLayout.dataSyncLength + 1 + kDataBlockGcrBytes + zone.tailGapLength;
}

// A written track must fit in one revolution at 300 rpm, or its end would overwrite its
// start.
constexpr bool WrittenTracksFit() {
  for (const ZoneRow& zone : kZoneTable) {
    if (zone.sectorCount * WrittenSectorBytes(zone) >= NominalCapacityBytes(zone.zone, 300.0)) {
      return false;
    }
  }
  return true;
}
static_assert(WrittenTracksFit());
static_assert(kZoneTable[0].sectorCount * WrittenSectorBytes(kZoneTable[0]) == 7539);

}  // namespace dw
