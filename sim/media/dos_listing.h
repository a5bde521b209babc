#pragma once
// LOAD "$": the directory as a BASIC program the drive builds itself.
//   $01 $04 (load address $0401), then lines of: link $01 $01 (a dummy: the computer re-links),
//   line number (2 bytes, low first), text, $00; and the end mark $00 $00.
// Header line: number 0, RVS ON, "name" padded with spaces, space, ID, byte after the ID, DOS
// type. File lines: number = blocks, text 27 bytes (below). Last: free blocks, "BLOCKS FREE."
// and 13 spaces.

#include "sim/media/dos_directory.h"

namespace sim {

// Where the lines made from a directory block begin in the listing: the drive reads that block
// when the host's read gets there.
struct ListingBlock {
  size_t offset = 0;
  TrackSector block;
};

// The listing for "$" followed by the name part (":pattern,pattern=T" or nothing). On a read
// error the listing holds what was built before it and the error is returned. laterBlocks gets
// the directory blocks after the first, which the drive reads while it sends the listing.
DosStatus BuildListing(Volume& volume, DriveKind kind, std::span<const uint8_t> afterDollar,
                       Bytes& listing, std::vector<ListingBlock>* laterBlocks = nullptr);

// One file line's 27 text bytes, as the drive pads them.
Bytes ListingFileText(const DirEntry& entry, DriveKind kind);

}  // namespace sim
