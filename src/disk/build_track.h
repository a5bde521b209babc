#pragma once
// Whole GCR tracks built on the PC, syncs, headers, gaps and data blocks, with the damaged
// sectors an image's error bytes describe, for the write drive code to lay down in one
// revolution.

#include <cstdint>
#include <cstdio>
#include <vector>

#include "core/program.h"

namespace dw {

// Builds track `track` in GcrOutBuffer from position 0 and closes it with a 0 byte; returns
// the byte count including that 0. The sectors come from the open image file (at each
// sector's imageOffset, error bytes behind ImageDataSize when ImageErrors is set), or, with
// `blank`, are zeros; `bamMark` (with `blank`) puts the format type into the BAM sector of
// track 18. `cells`, when given, receives the code each sector is built with (1: good).
int BuildGcrTrack(Program& p, int track, bool blank, bool bamMark, std::FILE* image,
                  std::vector<uint8_t>* cells = nullptr);

// The track just built (`length` bytes with its closing 0) filled up with gap bytes to a whole
// revolution at the drive's measured speed; returns the new length. A track shorter than the
// revolution would leave the end of the old track on the disk: old headers, with the old ID,
// that the drive's DOS and the reading meet before the new ones.
int PadToRevolution(Program& p, int length, int track);

// Sends the track just built (`length` bytes of GcrOutBuffer) to the adapter for the write
// drive code.
void UploadBuiltTrack(Program& p, int length);

}  // namespace dw
