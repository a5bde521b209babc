#pragma once
// Image layouts (D64 with 35 or 40 tracks, D71, D81), the track table and the image file
// size check.
//
// Error bytes. An image with error bytes carries, behind its ImageDataSize bytes of sector
// data, one byte per sector in track order (track 1 sector 0 first; a D71 side 1 first),
// so the area runs from ImageDataSize to ImageFileSize, in ImageBuffer and in the file
// alike. Only its low four bits count: the drive's job result code of the sector (1 good,
// 2 header not found, 3 no sync, 4 data block not found, 5 data checksum, 9 header
// checksum, 11 disk ID mismatch); 0 also means good.
//
// ErrorByteCursor is the running number of the sector being handled, counted over the
// whole disk (0 = track 1 sector 0). The routines that go through a disk track by track
// (reading, building, verifying tracks) set it to 0 when they are called for track 1 and
// add 1 after every sector, whether or not the image has error bytes; so tracks must be
// handled in ascending order from track 1, and the error byte of the current sector is
// at ErrorBytePosition.

#include <cstdint>

#include "core/program.h"
#include "disk/geometry_layouts.h"

namespace dw {

// Fills TrackTable for tracks 1..80 from DriveFamily and FortyTracks.
void BuildTrackTable(Program& p);

// Clears ImageBuffer and sets the layout for the drive, DiskFormat and FortyTracks; the
// flag asks for the D71 layout on a 1571 whatever disk format was detected. Returns the
// new TrackCount.
uint8_t SelectGeometry(Program& p, bool doubleSided);

// Checks the size of an image file about to be restored or verified against the drive.
// Returns the track count of the matching layout, or 0 after telling the user that the
// size does not fit. The size is taken whole: a file larger than any image (4 GiB and more
// too) matches no layout.
uint8_t MatchImageFileSize(Program& p, int64_t fileSize);

// Position of the current sector's error byte: ImageDataSize + ErrorByteCursor.
int64_t ErrorBytePosition(const Program& p);

// Stores a sector code as the current sector's error byte in ImageBuffer. Nothing is
// stored when that position lies outside the error-byte area (an image without error
// bytes has none).
void StoreErrorByte(Program& p, uint8_t code);

}  // namespace dw
