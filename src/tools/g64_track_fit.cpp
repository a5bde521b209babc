#include "tools/g64_track_fit.h"

#include <algorithm>
#include <vector>

namespace dw {

namespace {

constexpr uint8_t kSyncByte = 0xFF;
// Every header block starts with the GCR byte $52 (its plain byte $08).
constexpr uint8_t kHeaderFirstGcrByte = 0x52;
constexpr int kShortestTailGap = 4;
constexpr int kShortestSync = 5;

// A run of equal bytes that may give up bytes: where it starts, how long it is, how many it
// keeps at least.
struct Run {
  int start;
  int length;
  int kept;
};

int RunStart(std::span<const uint8_t> track, int end) {
  int start = end;
  while (start > 0 &&
         track[static_cast<size_t>(start - 1)] == track[static_cast<size_t>(end - 1)]) {
    --start;
  }
  return start;
}

// Each sync ahead of a header block, and the run of filler ahead of that sync.
std::vector<Run> SpareRuns(std::span<const uint8_t> track, int length) {
  std::vector<Run> runs;
  for (int at = 1; at < length; ++at) {
    if (track[static_cast<size_t>(at - 1)] != kSyncByte ||
        track[static_cast<size_t>(at)] != kHeaderFirstGcrByte) {
      continue;
    }
    const int syncStart = RunStart(track, at);
    if (at - syncStart > kShortestSync) runs.push_back({syncStart, at - syncStart, kShortestSync});
    if (syncStart == 0) continue;
    const int gapStart = RunStart(track, syncStart);
    if (syncStart - gapStart > kShortestTailGap) {
      runs.push_back({gapStart, syncStart - gapStart, kShortestTailGap});
    }
  }
  // The track goes round: the filler at its end lies ahead of the first sync when the track
  // starts with a few bytes of it (or with the sync itself).
  const uint8_t last = track[static_cast<size_t>(length - 1)];
  int lead = 0;
  while (lead < length && track[static_cast<size_t>(lead)] == last) ++lead;
  const int endStart = RunStart(track, length);
  const int kept = std::max(0, kShortestTailGap - lead);
  if (last != kSyncByte && lead < length && track[static_cast<size_t>(lead)] == kSyncByte &&
      endStart > 0 && length - endStart > kept) {
    runs.push_back({endStart, length - endStart, kept});
  }
  std::sort(runs.begin(), runs.end(), [](const Run& a, const Run& b) { return a.start < b.start; });
  return runs;
}

}  // namespace

int ShortenTrack(std::span<uint8_t> track, int length, int room) {
  if (length <= room) return length;
  std::vector<Run> runs = SpareRuns(track, length);
  int spare = 0;
  for (const Run& run : runs) spare += run.length - run.kept;
  if (spare == 0) return length;
  const int needed = std::min(length - room, spare);
  // Each run gives its share rounded down; the bytes still missing come one a run.
  std::vector<int> taken(runs.size());
  int total = 0;
  for (size_t i = 0; i < runs.size(); ++i) {
    taken[i] = static_cast<int>(int64_t{runs[i].length - runs[i].kept} * needed / spare);
    total += taken[i];
  }
  for (size_t i = 0; total < needed; i = (i + 1) % runs.size()) {
    if (taken[i] < runs[i].length - runs[i].kept) {
      ++taken[i];
      ++total;
    }
  }
  // Rebuilt front to back: every run loses its share at its end.
  int written = 0;
  int from = 0;
  for (size_t i = 0; i <= runs.size(); ++i) {
    const int until = i < runs.size() ? runs[i].start + runs[i].length - taken[i] : length;
    std::copy(track.begin() + from, track.begin() + until, track.begin() + written);
    written += until - from;
    from = i < runs.size() ? runs[i].start + runs[i].length : length;
  }
  return written;
}

}  // namespace dw
