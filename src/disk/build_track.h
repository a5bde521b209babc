#pragma once
// Whole GCR tracks built on the PC, syncs, headers, gaps and data blocks, with the damaged
// sectors an image's error bytes describe, laid out for a nominal 300 rpm; track_fit.h fits
// them to the drive's own revolution before the write drive code lays them down.

#include <cstdint>
#include <cstdio>
#include <vector>

#include "core/program.h"

namespace dw {

// Builds track `track` in GcrOutBuffer from position 0 and closes it with a 0 byte; returns
// the byte count including that 0. The sectors come from the open image file (at each
// sector's imageOffset, error bytes behind ImageDataSize when ImageErrors is set), or, with
// `blank`, are zeros; `bamMark` (with `blank`) puts the format type into the BAM sector of
// track 18. `cells`, when given, receives the code each sector is built with (1: good), and
// `data` the 256 bytes of each sector's data block, sector 0 first.
int BuildGcrTrack(Program& p, int track, bool blank, bool bamMark, std::FILE* image,
                  std::vector<uint8_t>* cells = nullptr, std::vector<uint8_t>* data = nullptr);

// Sends the track just built (`length` bytes of GcrOutBuffer) to the adapter for the write
// drive code.
void UploadBuiltTrack(Program& p, int length);

}  // namespace dw
