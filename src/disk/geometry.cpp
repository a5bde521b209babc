#include "disk/geometry.h"

#include <algorithm>
#include <array>

#include "core/log.h"
#include "gcr/zones.h"

namespace dw {

namespace {

// The layout SelectGeometry gives each drive family: for a single-sided disk, for a
// double-sided one (detected, or asked for), and with FortyTracks on.
struct FamilyLayouts {
  ImageLayoutId singleSided;
  ImageLayoutId doubleSided;
  ImageLayoutId fortyTracks;
};

constexpr std::array<FamilyLayouts, 5> kFamilyLayouts{{
    {kLayoutD64, kLayoutD64, kLayoutD64Forty},  // 1541 family
    {kLayoutD64, kLayoutD64, kLayoutD64Forty},  // 1570
    {kLayoutD64, kLayoutD71, kLayoutD64Forty},  // 1571
    {kLayoutD81, kLayoutD81, kLayoutD81},       // 1581
    {kLayoutD64, kLayoutD64, kLayoutD64},       // not recognised
}};

constexpr uint8_t FamilyBit(DriveFamilyCode family) {
  return static_cast<uint8_t>(1u << family);
}
constexpr uint8_t kGcrFamilies =
    FamilyBit(kFamily1541) | FamilyBit(kFamily1570) | FamilyBit(kFamily1571);

// DiskFormat is left as it is.
constexpr int kKeepDiskFormat = -1;

// The image files a restore or verify accepts. A D64 size says the disk is single-sided
// and a D71 size that it is double-sided, so that the file is always written and compared
// in its own layout, whatever disk format was detected last.
struct ImageFileKind {
  ImageLayoutId layout;
  bool errorBytes;
  uint8_t families;
  int diskFormat;
};

constexpr std::array<ImageFileKind, 7> kImageFileKinds{{
    {kLayoutD64, false, kGcrFamilies, kDisk1541},
    {kLayoutD64, true, kGcrFamilies, kDisk1541},
    {kLayoutD64Forty, false, kGcrFamilies, kKeepDiskFormat},
    {kLayoutD64Forty, true, kGcrFamilies, kKeepDiskFormat},
    {kLayoutD71, false, FamilyBit(kFamily1571), kDisk1571DoubleSided},
    {kLayoutD71, true, FamilyBit(kFamily1571), kDisk1571DoubleSided},
    {kLayoutD81, false, FamilyBit(kFamily1581), kKeepDiskFormat},
}};

constexpr int32_t FileSize(const ImageFileKind& kind) {
  return LayoutFileSize(Layout(kind.layout), kind.errorBytes);
}

constexpr bool FileSizesAreDistinct() {
  for (size_t a = 0; a < kImageFileKinds.size(); ++a) {
    for (size_t b = a + 1; b < kImageFileKinds.size(); ++b) {
      if (FileSize(kImageFileKinds[a]) == FileSize(kImageFileKinds[b])) return false;
    }
  }
  return true;
}
static_assert(FileSizesAreDistinct(), "a file size must name one layout");

const FamilyLayouts& LayoutsOf(uint8_t driveFamily) {
  return kFamilyLayouts[std::min<size_t>(driveFamily, kFamilyUnknown)];
}

void CopyGcrLayoutFields(TrackRecord& r) {
  r.headerBlockId = kGcrTrackLayout.headerBlockId;
  r.dataBlockId = kGcrTrackLayout.dataBlockId;
  r.dataSyncLength = kGcrTrackLayout.dataSyncLength;
  r.headerFill[0] = kGcrTrackLayout.headerFill[0];
  r.headerFill[1] = kGcrTrackLayout.headerFill[1];
  r.headerGapByte = kGcrTrackLayout.headerGapByte;
  r.headerGapLength = kGcrTrackLayout.headerGapLength;
  r.headerSyncLength = kGcrTrackLayout.headerSyncLength;
  r.tailGapByte = kGcrTrackLayout.tailGapByte;
  r.formatType = kGcrTrackLayout.formatType;
}

void SetLayout(Program& p, ImageLayoutId id) {
  const ImageLayout& layout = Layout(id);
  p.TrackCount = layout.trackCount;
  p.TracksPerSide = layout.tracksPerSide;
  p.ImageDataSize = LayoutDataSize(layout);
  p.ImageFileSize = LayoutFileSize(layout, p.ImageErrors);
}

}  // namespace

void BuildTrackTable(Program& p) {
  for (int t = 1; t <= kMaxTrack; ++t) {
    TrackRecord& r = p.TrackTable[static_cast<size_t>(t)];
    if (p.DriveFamily == kFamily1581) {
      r.sectorCount = static_cast<uint8_t>(k1581SectorsPerTrack);
      r.imageOffset = (t - 1) * k1581TrackBytes;
      continue;
    }
    // Without 40 tracks, tracks above 35 are the second side of a double-sided disk.
    int trackOnSide = t;
    int32_t sideBase = 0;
    if (!p.FortyTracks && t > kTracksOnFirstSide) {
      trackOnSide = t - kTracksOnFirstSide;
      sideBase = kSecondSideBase;
    }
    // A track no zone row holds keeps its earlier geometry.
    const int row = ZoneRowIndex(trackOnSide);
    if (row >= 0) {
      const ZoneRow& zone = kZoneTable[static_cast<size_t>(row)];
      r.sectorCount = zone.sectorCount;
      r.imageOffset = sideBase + TrackSideOffset(trackOnSide);
      r.capacity = NominalTrackCapacity(zone.zone, 300.0f);
      r.gcrPages = zone.gcrPages;
      r.zoneBits = ZoneBits(zone.zone);
      r.tailGapLength = zone.tailGapLength;
    }
    CopyGcrLayoutFields(r);
  }
}

uint8_t SelectGeometry(Program& p, bool doubleSided) {
  std::fill(p.ImageBuffer.begin(), p.ImageBuffer.end(), uint8_t{0});
  const FamilyLayouts& layouts = LayoutsOf(p.DriveFamily);
  ImageLayoutId id = layouts.singleSided;
  if (p.FortyTracks) {
    id = layouts.fortyTracks;
  } else if (p.DiskFormat == kDisk1571DoubleSided || doubleSided) {
    id = layouts.doubleSided;
  }
  SetLayout(p, id);
  BuildTrackTable(p);
  return p.TrackCount;
}

uint8_t MatchImageFileSize(Program& p, int64_t fileSize) {
  p.FortyTracks = false;
  p.ImageErrors = false;
  const uint8_t family =
      p.DriveFamily < kFamilyUnknown ? FamilyBit(static_cast<DriveFamilyCode>(p.DriveFamily)) : 0;
  for (const ImageFileKind& kind : kImageFileKinds) {
    if (FileSize(kind) != fileSize || (kind.families & family) == 0) continue;
    p.FortyTracks = kind.layout == kLayoutD64Forty;
    p.ImageErrors = kind.errorBytes;
    if (kind.diskFormat != kKeepDiskFormat) p.DiskFormat = static_cast<uint8_t>(kind.diskFormat);
    return SelectGeometry(p, false);
  }
  ShowInfoBox(p, "File size does not match drive capacity.");
  return 0;
}

int64_t ErrorBytePosition(const Program& p) {
  return int64_t{p.ImageDataSize} + p.ErrorByteCursor;
}

void StoreErrorByte(Program& p, uint8_t code) {
  const int64_t position = ErrorBytePosition(p);
  const int64_t areaEnd = std::min<int64_t>(p.ImageFileSize, std::ssize(p.ImageBuffer));
  if (p.ErrorByteCursor < 0 || position < p.ImageDataSize || position >= areaEnd) return;
  p.ImageBuffer[static_cast<size_t>(position)] = code;
}

}  // namespace dw
