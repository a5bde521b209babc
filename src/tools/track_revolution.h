#pragma once
// One revolution of a GCR track cut out of a raw read that runs on past it. The read starts
// wherever the disk stood and goes round more than once; the track has no start of its own. The
// revolution is found where the track repeats, and turned to start in the gap before a header's
// sync, so that a write of it splices in a gap.

#include <cstdint>
#include <span>
#include <vector>

namespace dw {

struct TrackRevolution {
  std::vector<uint8_t> bytes;
  // false: the track did not repeat in the read (blank, noise, only sync), and the bytes are
  // the fallback length from the start of the read.
  bool repeated = false;
  // $00 bytes (no flux change) that took the byte before them: a write splice gives one or two,
  // a drop-out of the coating more.
  int fluxGapsFilled = 0;
};

// raw: the read's GCR bytes (without the byte-rate count). expected: the revolution's length the
// read's byte-rate count and the drive's speed suggest (0: none known); fallback: the length kept
// when the track does not repeat. A revolution is accepted only from shortest to longest bytes.
TrackRevolution CutOneRevolution(std::span<const uint8_t> raw, int64_t expected, int64_t fallback,
                                 int64_t shortest, int64_t longest);

}  // namespace dw
