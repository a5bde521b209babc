#pragma once
// Commodore GCR: 4 plain bytes as 5 bytes on the disk, the sync search and the search for a
// sector's header block in a raw track. Works on the shared buffers and positions of Program.

#include <cstdint>

#include "core/program.h"

namespace dw {

// The first plain byte of every sector header block and of every data block on a GCR disk.
inline constexpr uint8_t kGcrHeaderBlockId = 0x08;
inline constexpr uint8_t kGcrDataBlockId = 0x07;

// Result of FindSectorHeader.
enum HeaderSearchResult : uint8_t {
  kNoHeaderBlock = 0,      // sync marks found, no header block id behind them
  kOtherHeadersOnly = 1,   // header blocks found, none for this track and sector
  kHeaderChecksumBad = 2,  // the header was found, its checksum is bad
  kNoSyncAtAll = 15,       // no sync mark followed by a complete header
  kHeaderFound = 255,      // the header was found and its checksum is good
};

// Copies the two code tables into GcrEncodeTable and GcrDecodeTable.
void FillGcrTables(Program& p);

void GcrDecode(Program& p, int count);
void GcrEncode(Program& p, int count);
void SeekSyncEnd(Program& p);
HeaderSearchResult FindSectorHeader(Program& p, int track, int sector);
// The same search from a position in the raw track on (FindSectorHeader starts at 0): a later
// copy of a header, behind one found before.
HeaderSearchResult FindSectorHeaderFrom(Program& p, int track, int sector, int64_t start);

}  // namespace dw
