#pragma once
// A track as the write drive code lays it down: it starts writing wherever the disk stands
// and goes on for as many bytes as it was given. A write shorter than the revolution leaves
// the end of the old recording (old headers, with an old ID) behind it; a longer one goes on
// over its own beginning. Drives turn anywhere from about 294 to 306 rpm and drift a little
// while they work, so the track built for a nominal 300 rpm is fitted to the revolution the
// drive was timed at before it is written:
//
//   [lead filler][sector 0][gap]...[sector n-1][gap]
//
// - the sectors stay byte for byte as built (syncs, header, header gap, data block); only the
//   gaps behind the data blocks change, sized so that sectors and gaps fill the shortest
//   revolution timed less 0.5 % for drift, and never below the 4 bytes the DOS's own format
//   leaves;
// - the whole write is longer than the longest revolution timed plus 0.5 %, so nothing of the
//   old recording survives;
// - what the write runs past a revolution lands on the lead filler, never on sector 0.

#include <cstdint>
#include <optional>

#include "core/program.h"

namespace dw {

// How much the drive's speed may drift either way while a track goes down.
inline constexpr double kWriteDrift = 0.005;

// The shortest and longest of a few revolutions the drive code timed.
struct RevolutionWindow {
  int32_t shortestUs = 0;
  int32_t longestUs = 0;
};

// The track built by BuildGcrTrack in GcrOutBuffer (`length` bytes with its closing 0),
// rearranged as above for the revolution; returns the new length with its closing 0.
int FitTrackToRevolution(Program& p, int track, int length, const RevolutionWindow& turn);

// The bytes a write of `track` fitted to the revolution takes, closing 0 included.
int FittedTrackLength(const Program& p, int track, const RevolutionWindow& turn);

// The fastest speed at which the sectors of tracks 1..lastTrack still fit one revolution with
// gaps of 4 bytes, as the revolution time in microseconds (the longest any of the tracks needs).
int32_t ShortestRevolutionForTracks(const Program& p, int lastTrack);

}  // namespace dw
