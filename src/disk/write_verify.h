#pragma once
// Verify after writing: every track a restore or a format laid down is read back from the disk
// and its sectors compared with what was written. A drive can answer a write as done and still
// leave a track unlike what it was given (a weak spot, a worn head): only a read of the disk
// itself tells. A sector written with an error (an image's error byte) passes when it reads
// back with that code; its data is not compared.

#include <cstdint>
#include <vector>

#include "core/program.h"

namespace dw {

// What one track was written with.
struct WrittenTrack {
  int track = 0;
  // The density the track was written at, as the drive code takes it (0: the track's own zone).
  int density = 0;
  // Each sector's code, sector 0 first: 1 good, else the error it was built with.
  std::vector<uint8_t> codes;
  // The 256 bytes of each sector, sector 0 first.
  std::vector<uint8_t> data;
};

// Whether the "Verify after writing" mark is set; logs "Verify after writing: on" when it is.
bool VerifyAfterWritingOn(Program& p);

// Reads the tracks back and compares them: a GCR drive with the reading drive code (loaded once
// for all of them, and left loaded), the 1581 with burst reads, which must not begin before the
// last written track has left the drive's track cache. A sector that differs is logged with its
// track and sector and marked X on the map. true when every sector read back as written; else
// false with a closing count in the log and the command marked as failed (LinkState).
bool VerifyWrittenTracks(Program& p, const std::vector<WrittenTrack>& tracks);

}  // namespace dw
